#!/bin/bash
# The installer under Wine, as an operator's PC meets it: a silent install for the current
# user puts the program, its uninstaller and a Start-menu shortcut in place; the installed
# program starts in the shortcut's working folder; an installer started while Morvantil
# runs (the update hand-over) waits for it to end; a silent uninstall removes the program
# and keeps the settings files. Usage: installer_test.sh SETUP.exe (WINEPREFIX set)
set -euo pipefail
setup="$(realpath "$1")"
program_built="$(dirname "$setup")/Morvantil.exe"
fail() { echo "FAIL: $*"; exit 1; }
step() { echo "-- $*"; }
[ -n "${WINEPREFIX:-}" ] || fail "WINEPREFIX is not set"
for tool in wine Xvfb xdotool; do
    command -v "$tool" >/dev/null || fail "$tool missing (scripts/setup installs it)"
done

# A Wine prefix of its own, so that its Wine server and desktop use this test's X display
# alone, whatever other tests run meanwhile.
work="$(mktemp -d)"
cp -a "$WINEPREFIX" "$work/wineprefix"
export WINEPREFIX="$work/wineprefix"
# Wine names the user's folder after the Unix user.
users="$WINEPREFIX/drive_c/users/$(id -un)"
installed="$users/AppData/Local/Programs/Morvantil"
workdir="$users/AppData/Local/Morvantil"
shortcut="$users/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Morvantil.lnk"
xvfb_pid=""
program_pid=""
installer_pid=""
finish() {
    for pid in "$installer_pid" "$program_pid" "$xvfb_pid"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done
    wineserver -k 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
exec 5<> <(:)
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 20 display <&5 || fail "Xvfb did not start"
export DISPLAY=":$display"

step "silent install"
timeout 120 wine "$setup" /S || fail "the silent install ended with status $?"
cmp "$installed/Morvantil.exe" "$program_built" || fail "the installed program is not the one built"
[ -f "$installed/uninstall.exe" ] || fail "no uninstaller"
[ -d "$workdir" ] || fail "no working folder"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
# The shortcut starts the installed program in the per-user working folder.
/usr/bin/python3 - "$shortcut" <<'PY' || fail "the shortcut does not name the program and its working folder"
import sys
link = open(sys.argv[1], "rb").read()
for text in ("AppData\\Local\\Programs\\Morvantil\\Morvantil.exe", "AppData\\Local\\Morvantil"):
    assert text.encode("utf-16-le") in link or text.encode() in link, text
PY
wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Morvantil' /v DisplayVersion |
    tr -d '\r' | grep -q "DisplayVersion.*REG_SZ.*1\.3$" || fail "no uninstall entry for version 1.3"

step "the installed program starts in its working folder"
(cd "$workdir" && exec wine "$installed/Morvantil.exe") >/dev/null 2>&1 &
program_pid=$!
settings="$(timeout 60 xdotool search --sync --onlyvisible --name '^Impostazioni$' | head -1)" ||
    fail "the installed program showed no settings window"

step "an installer started meanwhile waits for the program to end"
wine "$setup" /S &
installer_pid=$!
sleep 4
kill -0 "$installer_pid" 2>/dev/null || fail "the installer did not wait for the running program"
xdotool mousemove --sync --window "$settings" 236 142 click 1     # Chiudi
main="$(timeout 30 xdotool search --sync --onlyvisible --name '^Trasferimento file da Brenola v1.3$' | head -1)" ||
    fail "no main window after Chiudi"
xdotool mousemove --sync --window "$main" 277 127 click 1         # chiudi
timeout 30 tail --pid="$program_pid" -f /dev/null || fail "the program did not end"
program_pid=""
timeout 60 tail --pid="$installer_pid" -f /dev/null || fail "the installer did not go on once the program ended"
wait "$installer_pid" || fail "the waiting installer ended with status $?"
installer_pid=""

step "silent uninstall keeps the settings files"
printf 'C:\\Brenola\r\n' > "$workdir/path.dat"
printf '016024\r\n' > "$workdir/com.dat"
wine "$installed/uninstall.exe" /S
# The uninstaller runs from a copy of itself and returns at once: wait for its work.
for _ in $(seq 120); do [ -e "$installed/Morvantil.exe" ] || break; sleep 0.5; done
[ ! -e "$installed/Morvantil.exe" ] || fail "the program is still installed"
[ ! -e "$shortcut" ] || fail "the shortcut is still there"
if wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Morvantil' >/dev/null 2>&1; then
    fail "the uninstall entry is still there"
fi
[ "$(cat "$workdir/com.dat")" = $'016024\r' ] && [ -f "$workdir/path.dat" ] || fail "the settings files are gone"
echo "installer: $(stat -c %s "$setup") bytes; 1 passed, 0 failed"

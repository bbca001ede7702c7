#!/bin/bash
# The installer under Wine, as an operator's PC meets it: a silent install for the current
# user puts the program, its uninstaller, a Start-menu shortcut and (/INVIO) the daily task
# in place; the installed program starts in the shortcut's working folder; an installer
# started while Morvantil runs (the update hand-over) waits for it to end, or fails after a
# minute changing nothing; a second installer meanwhile fails at once, leaving the first
# one's work alone; a silent uninstall waits for it too, keeps the settings files and
# removes the daily task; signed, the installer and what it installs pass osslsigncode
# verify. Usage: installer_test.sh SETUP.exe (WINEPREFIX set)
set -euo pipefail
setup="$(realpath "$1")"
program_built="$(dirname "$setup")/Morvantil.exe"
here="$(cd "$(dirname "$0")/../.." && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }
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
entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Morvantil'
version() { wine reg query "$entry" /v DisplayVersion 2>/dev/null | tr -d '\r' | awk '/DisplayVersion/ {print $3}'; }
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
. "$here/tests/support/x-windows.sh"
# -noreset: Xvfb resets when its last client leaves, and refuses connections meanwhile;
# the window searches come and go while the program connects.
exec 5<> <(:)
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 20 display <&5 || fail "Xvfb did not start"
export DISPLAY=":$display"

# Task Scheduler keeps each task's definition as a file of its own.
task="$WINEPREFIX/drive_c/windows/system32/tasks/Morvantil invio automatico ($(id -un))"

step "silent install, with the daily send at 06:30"
timeout 120 wine "$setup" /S /INVIO=06:30 || fail "the silent install ended with status $?"
/usr/bin/python3 - "$task" <<'PY' || fail "no daily task at 06:30"
import sys
raw = open(sys.argv[1], "rb").read()
text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("utf-8-sig")
parts = ["<StartWhenAvailable>true<", "<ExecutionTimeLimit>PT1H<"]
# Wine 8 keeps neither the trigger nor the action of a definition; Windows keeps both.
if "<Triggers/>" not in text:
    parts += ["T06:30:00<", "Morvantil.exe<", "--invia --automatico<", "AppData\\Local\\Morvantil<"]
for part in parts:
    assert part in text, part + "\n" + text
PY
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
[ "$(version)" = 1.3 ] || fail "no uninstall entry for version 1.3"
printf old >>"$installed/Morvantil.exe" && cp "$installed/Morvantil.exe" "$work/old.exe"
wine reg add "$entry" /v DisplayVersion /d 1.2 /f >/dev/null

step "the installed program starts in its working folder"
(cd "$workdir" && exec wine "$installed/Morvantil.exe") >/dev/null 2>&1 &
program_pid=$!
settings="$(wait_window Impostazioni 60)" ||
    fail "the installed program showed no settings window"

step "a silent installer over a program that stays open (made older) fails after a minute, changing nothing"
status=0 && timeout 120 wine "$setup" /S || status=$?
[ "$status" = 2 ] || fail "the installer ended with status $status, not 2"
cmp -s "$installed/Morvantil.exe" "$work/old.exe" && ! ls "$installed"/*.new 2>/dev/null || fail "the old program changed"
[ "$(version)" = 1.2 ] || fail "the uninstall entry says $(version), not the old 1.2"

step "an installer started meanwhile waits for the program to end"
wine "$setup" /S &
installer_pid=$!
sleep 4
kill -0 "$installer_pid" 2>/dev/null || fail "the installer did not wait for the running program"
status=0 && timeout 120 wine "$setup" /S || status=$?
[ "$status" = 2 ] && ls "$installed"/*.new >/dev/null || fail "a second installer ended with status $status, or took the first one's program"
xdotool mousemove --sync --window "$settings" 236 142 click 1     # Chiudi
main="$(wait_window 'Trasferimento file da Brenola v1.3' 30)" ||
    fail "no main window after Chiudi"
xdotool mousemove --sync --window "$main" 277 127 click 1         # chiudi
timeout 30 tail --pid="$program_pid" -f /dev/null || fail "the program did not end"
program_pid=""
timeout 60 tail --pid="$installer_pid" -f /dev/null || fail "the installer did not go on once the program ended"
wait "$installer_pid" || fail "the waiting installer ended with status $?"
installer_pid=""
cmp "$installed/Morvantil.exe" "$program_built" && [ "$(version)" = 1.3 ] || fail "the program was not replaced"

step "silent uninstall waits for the program, then keeps the settings files"
printf 'C:\\Brenola\r\n' > "$workdir/path.dat"
printf '016024\r\n' > "$workdir/com.dat"
(cd "$workdir" && exec wine "$installed/Morvantil.exe") >/dev/null 2>&1 &
program_pid=$!
wait_window 'Trasferimento file da Brenola v1.3' 60 >/dev/null || fail "no main window"
wine "$installed/uninstall.exe" /S
sleep 5
[ -e "$installed/Morvantil.exe" ] && [ -f "$shortcut" ] && [ "$(version)" = 1.3 ] || fail "the uninstaller did not wait"
kill -9 "$program_pid" && program_pid=""
# The uninstaller runs from a copy of itself and returns at once: wait for its work.
for _ in $(seq 120); do [ -e "$installed/Morvantil.exe" ] || break; sleep 0.5; done
[ ! -e "$installed/Morvantil.exe" ] || fail "the program is still installed"
[ ! -e "$shortcut" ] || fail "the shortcut is still there"
[ ! -e "$task" ] || fail "the daily task is still there"
if wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Morvantil' >/dev/null 2>&1; then
    fail "the uninstall entry is still there"
fi
[ "$(cat "$workdir/com.dat")" = $'016024\r' ] && [ -f "$workdir/path.dat" ] || fail "the settings files are gone"

step "signed with a certificate made now: the installer, the program and the uninstaller it installs"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Morvantil prova" -addext extendedKeyUsage=codeSigning \
    -keyout "$work/key.pem" -out "$work/ca.pem" 2>/dev/null && echo prova >"$work/password"
export MORVANTIL_SIGN_PKCS12="$work/sign.p12" MORVANTIL_SIGN_PASSWORD_FILE="$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/ca.pem" -passout "file:$work/password" -out "$work/sign.p12"
cp "$program_built" "$work/Morvantil.exe" && bash "$here/scripts/windows-sign" "$work/Morvantil.exe"
makensis -V1 -INPUTCHARSET UTF8 -DVERSION=1.3 -DPROGRAM="$work/Morvantil.exe" -DICON="$here/src/gui/images/morvantil.ico" \
    -DOUTFILE="$work/setup.exe" -DSIGN="bash $here/scripts/windows-sign" "$here/cmake/morvantil.nsi"
timeout 120 wine "$work/setup.exe" /S || fail "the signed installer ended with status $?"
for file in "$work/setup.exe" "$installed/Morvantil.exe" "$installed/uninstall.exe"; do
    osslsigncode verify -CAfile "$work/ca.pem" -in "$file" >/dev/null || fail "$file: no valid signature"
done
echo "installer: $(stat -c %s "$setup") bytes; 1 passed, 0 failed"

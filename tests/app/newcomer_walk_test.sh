#!/bin/bash
# A newcomer's first day, on a real X server (Xvfb) driven with xdotool, the way
# `make run` starts things: the local FTP server and update service come up, the settings
# window asks for the ISTAT code and the folder (picked with the folder picker), the main
# window sends the five files, "chiudi" ends everything. Then a second start goes straight
# to the main window. The Windows build (Morvantil.exe) walks the same way under Wine.
# Usage: newcomer_walk_test.sh PROGRAM REPO_ROOT
set -euo pipefail
program="$(realpath "$1")"
root="$(realpath "$2")"
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/setup installs it)"; exit 1; }
done

work="$(mktemp -d)"
xvfb_pid=""
run_pid=""
finish() {
    [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null || true
    [[ "$program" == *.exe ]] && { wineserver -k 2>/dev/null || true; }
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
. "$root/tests/support/x-windows.sh"
if [[ "$program" == *.exe ]]; then
    # A Wine prefix of its own, so that its Wine server and desktop use this walk's X
    # display alone, whatever other tests run meanwhile.
    cp -a "$WINEPREFIX" "$work/wineprefix"
    export WINEPREFIX="$work/wineprefix"
fi
fail() { echo "FAIL: $*" >&2; [ -f "$work/run.log" ] && sed 's/^/  run: /' "$work/run.log" >&2; exit 1; }
step() { echo "-- $*"; }

# A display of our own; Xvfb picks a free number and tells it on the descriptor.
# -noreset: Xvfb resets when its last client leaves, and refuses connections meanwhile;
# the window searches come and go while the program connects.
exec 5<> <(:)
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 20 display <&5 || fail "Xvfb did not start"
export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR

export MORVANTIL_RUN_DIR="$work/run"
# Free ports of its own for the local services, beside make run and other tests.
free_port() { /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
MORVANTIL_LOCAL_FTP_PORT="$(free_port)" MORVANTIL_LOCAL_UPDATE_PORT="$(free_port)"
export MORVANTIL_LOCAL_FTP_PORT MORVANTIL_LOCAL_UPDATE_PORT
start_program() {
    bash "$root/scripts/run-local" "$program" >"$work/run.log" 2>&1 &
    run_pid=$!
}
window() {  # waits for a visible window with that exact title
    local id
    id="$(wait_window "$1" 30)" || fail "no window \"$1\""
    echo "$id"
}
click() {  # window, x, y in the window's client area
    # --sync waits for the pointer to move: it must not start where it goes.
    xdotool mousemove 0 0 mousemove --sync --window "$1" "$2" "$3" click 1
    sleep 0.3
}
focus() { xdotool windowfocus --sync "$1"; sleep 0.2; }
gone() {  # waits until no visible window has that title
    for _ in $(seq 100); do
        visible_windows "$1" >/dev/null || return 0
        sleep 0.1
    done
    fail "window \"$1\" still open"
}

step "first start: no settings files, the settings window comes up"
start_program
settings="$(window Impostazioni)"
focus "$settings"
xdotool type --delay 50 "016024"

step "the folder picker starts in the working folder; open sample-export, select it"
click "$settings" 268 100              # the folder picture beside "Percorso files Brenola"
picker="$(window "Selezione cartella")"
gone Impostazioni
focus "$picker"
xdotool key Tab Tab Tab                # drive list, Annulla, Seleziona, directory list
xdotool type --delay 50 "sample-export"
xdotool key Return
sleep 0.5
click "$picker" 237 248                # Seleziona
gone "Selezione cartella"
settings="$(window Impostazioni)"
click "$settings" 52 142               # Salva

step "the main window: Trasferimento sends the five files"
main="$(window "Trasferimento file da Brenola v1.3")"
[ "$(cat "$MORVANTIL_RUN_DIR/com.dat")" = $'016024\r' ] || fail "com.dat holds $(od -c "$MORVANTIL_RUN_DIR/com.dat")"
chosen="$MORVANTIL_RUN_DIR/sample-export"
# Under Wine the Linux root is drive Z:, and paths take Windows' separator.
[[ "$program" == *.exe ]] && chosen="Z:${chosen//\//\\}"
[ "$(cat "$MORVANTIL_RUN_DIR/path.dat")" = "$chosen"$'\r' ] ||
    fail "path.dat holds $(cat "$MORVANTIL_RUN_DIR/path.dat")"
click "$main" 51 127                   # Trasferimento
served="$MORVANTIL_RUN_DIR/ftp-root"
for pair in DIA.TXT:016024_DIA.txt PERMCOSTR.TXT:016024_CIL.txt DIA_IMPRESE.TXT:016024_DIAIMP.txt \
            CLI_IMPRESE.TXT:016024_CILIMP.txt PROFESSIONISTI.TXT:016024_PROF.txt; do
    local_name="${pair%%:*}"
    remote="${pair##*:}"
    for _ in $(seq 100); do [ -f "$served/$remote" ] && break; sleep 0.1; done
    # The FTP server writes as the data arrives: wait for the whole file.
    for _ in $(seq 100); do cmp -s "$MORVANTIL_RUN_DIR/sample-export/$local_name" "$served/$remote" && break; sleep 0.1; done
    cmp "$MORVANTIL_RUN_DIR/sample-export/$local_name" "$served/$remote" || fail "$remote differs from $local_name"
done
ls "$served"
sleep 1

step "chiudi ends the program and the local services"
click "$main" 277 127                  # chiudi
timeout 20 tail --pid="$run_pid" -f /dev/null || fail "make run did not end after chiudi"
wait "$run_pid" || fail "make run ended with an error"
run_pid=""
if pgrep -f "$MORVANTIL_RUN_DIR" >/dev/null || pgrep -f "^$program" >/dev/null; then
    pgrep -af "$MORVANTIL_RUN_DIR|$program" || true
    fail "something is still running"
fi

step "second start: configured, straight to the main window; chiudi ends it again"
start_program
main="$(window "Trasferimento file da Brenola v1.3")"
visible_windows Impostazioni >/dev/null && fail "settings window came up again"
click "$main" 277 127
timeout 20 tail --pid="$run_pid" -f /dev/null || fail "the second run did not end"
wait "$run_pid" || fail "the second run ended with an error"
run_pid=""
echo "newcomer walk: 1 passed, 0 failed"

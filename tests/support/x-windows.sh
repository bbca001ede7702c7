# Finding windows by title with xdotool, for the scripts that drive a real X server.
# Source it after setting $work (a scratch folder).
#
# xdotool dies on an X error ("BadWindow") when a window vanishes while it walks the tree,
# and Wine makes and drops hidden windows all the time: such a search is made again, never
# taken for "no window".
visible_windows() {  # TITLE: the ids of visible windows with exactly that title; status 1 if none
    local ids status
    for _ in $(seq 20); do
        status=0
        ids="$(xdotool search --onlyvisible --name "^$1\$" 2>"$work/xdotool.err")" || status=$?
        grep -q 'X Error' "$work/xdotool.err" || break
    done
    [ -z "$ids" ] || echo "$ids"
    return "$status"
}
wait_window() {  # TITLE SECONDS: the first such window's id, once there is one
    local ids
    for _ in $(seq $(($2 * 10))); do
        ids="$(visible_windows "$1")" && { echo "${ids%%$'\n'*}"; return 0; }
        sleep 0.1
    done
    return 1
}

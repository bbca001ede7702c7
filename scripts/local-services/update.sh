#!/bin/bash
# `make run`: when the build asks this machine for updates, answer there with an empty
# text ("no update"), so that the program starts at once. To try an update by hand, put the
# installer into <build>/local-update-service/ and write its address into
# <build>/local-update-service/morvantil/update.php: with the build's development key, every
# file there is signed when the service starts, as the next version (1.3 -> 1.4).
# Prints the service's PID, or nothing when it started nothing.
set -u
program="$1"
build="$(cd "$(dirname "$program")" && pwd)"
base="$(sed -n 's/^MORVANTIL_UPDATE_BASE_URL:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null)"
[[ "$base" =~ ^http://127\.0\.0\.1:([0-9]+)/?$ ]] || exit 0
# The program takes another local port from the same variable (tests run beside make run).
port="${MORVANTIL_LOCAL_UPDATE_PORT:-${BASH_REMATCH[1]}}"

# Another program on that port would answer in our place.
if ! /usr/bin/python3 "$(dirname "$0")/../port-is-free" "$port"; then
    echo "update service: port $port is taken, not started" >&2
    exit 0
fi

root="$build/local-update-service"
mkdir -p "$root/morvantil"
[ -e "$root/morvantil/update.php" ] || : > "$root/morvantil/update.php"
key="$build/update-key/development.key"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
if [ -f "$key" ] && [ -n "$version" ]; then
    next="${version%.*}.$(( ${version##*.} + 1 ))"
    find "$root" -type f ! -name '*.minisig' ! -path "$root/morvantil/*" -print0 |
        while IFS= read -r -d '' file; do
            minisign -S -s "$key" -t "Morvantil $next" -m "$file" >/dev/null 2>&1 ||
                echo "update service: could not sign $file" >&2
        done
fi
/usr/bin/python3 -m http.server "$port" --bind 127.0.0.1 --directory "$root" </dev/null >/dev/null 2>&1 &
pid=$!

# Ready once it answers.
for _ in $(seq 50); do
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "update service: port $port is taken, not started" >&2
        exit 0
    fi
    if curl -s -o /dev/null "http://127.0.0.1:$port/"; then
        echo "$pid"
        exit 0
    fi
    sleep 0.1
done
echo "$pid"

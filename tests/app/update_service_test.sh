#!/bin/bash
# The local update service of `make run`: answers "no update" when the build asks this
# machine, and starts nothing otherwise. Args: <program> <repo root>.
set -u
root="$2"
service="$root/scripts/local-services/update.sh"
scratch="$(mktemp -d)"
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

port="$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
build() {  # a build folder whose cache names $1 as the update service
    mkdir -p "$scratch/$2"
    printf 'MORVANTIL_UPDATE_BASE_URL:STRING=%s\nCMAKE_PROJECT_VERSION:STATIC=1.3\n' "$1" > "$scratch/$2/CMakeCache.txt"
    echo "$scratch/$2/morvantil"
}

# With the build's development key, what it serves is signed as the next version.
mkdir -p "$scratch/local/update-key" "$scratch/local/local-update-service"
minisign -G -W -p "$scratch/local/update-key/development.pub" -s "$scratch/local/update-key/development.key" >/dev/null
echo "installer" > "$scratch/local/local-update-service/new.exe"
pid="$(bash "$service" "$(build "http://127.0.0.1:$port" local)" "$root")"
[ -n "$pid" ] || fail "no service started for a loopback build"
pids+=("$pid")
answer="$(curl -s -w '|%{http_code}' "http://127.0.0.1:$port/morvantil/update.php?v=1.3")"
[ "$answer" = "|200" ] || fail "expected an empty answer, got '$answer'"
curl -s -o "$scratch/new.exe.minisig" "http://127.0.0.1:$port/new.exe.minisig"
minisign -V -q -p "$scratch/local/update-key/development.pub" -m "$scratch/local/local-update-service/new.exe" \
    -x "$scratch/new.exe.minisig" >/dev/null && grep -qx "trusted comment: Morvantil 1.4" "$scratch/new.exe.minisig" \
    || fail "the served installer is not signed as the next version"

# The port is now taken: a second one gives up quietly, and the first keeps answering.
second="$(bash "$service" "$(build "http://127.0.0.1:$port" again)" "$root" 2>/dev/null)"
[ -z "$second" ] || { pids+=("$second"); fail "a second service started on a taken port"; }
[ "$(curl -s -w '%{http_code}' -o /dev/null "http://127.0.0.1:$port/morvantil/update.php?v=1.3")" = 200 ] \
    || fail "the first service stopped answering"

for base in "https://updates.example.invalid" "http://192.0.2.1:8421" ""; do
    [ -z "$(bash "$service" "$(build "$base" other)" "$root")" ] || fail "started a service for '$base'"
done
echo "ok"

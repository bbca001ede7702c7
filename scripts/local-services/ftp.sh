#!/bin/bash
# `make run`: when the build uploads to this machine (MORVANTIL_FTP_HOST 127.0.0.1[:port]),
# serve it with the test FTP server and the program's fixed account. Uploads land in
# $MORVANTIL_RUN_DIR/ftp-root; $MORVANTIL_RUN_DIR/sample-export holds five export files to
# choose in the settings. Prints the server's PID, or nothing when it started nothing.
set -u
program="$1"
here="$2"
build="$(cd "$(dirname "$program")" && pwd)"
host="$(sed -n 's/^MORVANTIL_FTP_HOST:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null)"
[[ "$host" =~ ^127\.0\.0\.1(:([0-9]+))?$ ]] || exit 0
# The program takes another local port from the same variable (tests run beside make run).
port="${MORVANTIL_LOCAL_FTP_PORT:-${BASH_REMATCH[2]:-21}}"
run="${MORVANTIL_RUN_DIR:-$here/run}"

# What the Brenola application would export; kept when already there.
samples="$run/sample-export"
mkdir -p "$samples"
sample() {  # name, header, rows...
    local file="$samples/$1"
    shift
    [ -e "$file" ] && return
    printf '%s\r\n' "$@" > "$file"
}
sample DIA.TXT "NUMERO;DATA;INTERVENTO;INDIRIZZO" \
    "12/2024;15/03/2024;Manutenzione straordinaria;Via Roma 4" \
    "13/2024;02/04/2024;Recinzione;Via dei Mille 17"
sample PERMCOSTR.TXT "NUMERO;DATA;INTERVENTO;INDIRIZZO" \
    "7/2024;20/02/2024;Nuova costruzione;Località Piano 2"
sample DIA_IMPRESE.TXT "NUMERO;IMPRESA;PARTITA IVA" \
    "12/2024;Edil Rossi s.r.l.;01234567890" \
    "13/2024;Costruzioni Bianchi s.n.c.;09876543210"
sample CLI_IMPRESE.TXT "NUMERO;IMPRESA;PARTITA IVA" \
    "7/2024;Edil Rossi s.r.l.;01234567890"
sample PROFESSIONISTI.TXT "NUMERO;PROFESSIONISTA;ALBO" \
    "12/2024;Arch. Maria Verdi;Architetti 1234" \
    "7/2024;Ing. Paolo Neri;Ingegneri 5678"

# Another program on that port would answer in our place.
if ! /usr/bin/python3 "$(dirname "$0")/../port-is-free" "$port"; then
    echo "FTP server: port $port is taken, not started" >&2
    exit 0
fi

root="$run/ftp-root"
mkdir -p "$root"
announced="$(mktemp)"
/usr/bin/python3 "$here/tests/peers/ftp_server.py" --root "$root" --port "$port" \
    --log "$run/ftp-server.log" </dev/null >"$announced" 2>>"$run/ftp-server.err" &
pid=$!

# Ready once it has told its port.
for _ in $(seq 50); do
    if [ -s "$announced" ]; then
        rm -f "$announced"
        echo "$pid"
        exit 0
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        rm -f "$announced"
        echo "FTP server did not start; see $run/ftp-server.err" >&2
        exit 0
    fi
    sleep 0.1
done
rm -f "$announced"
echo "$pid"

#!/usr/bin/env bash
# Sequential lookups against iploc-service, the way the batch run sends them: one
# request after the other. Compares one kept-alive connection (what the batch client
# does) with a new connection (and TLS handshake) for every request, measured in the
# same run, and prints both rates and their ratio.
#
#   bash bench/service/requests.sh [BIN_DIR] [COUNT]    (defaults: build/bin, 10000)
set -euo pipefail

bin_dir=${1:-build/bin}
count=${2:-10000}
here=$(cd "$(dirname "$0")" && pwd)
ranges="$here/../../service/data/ranges-sample.csv"
work=$(mktemp -d)
service_pid=
cleanup() {
    if [[ -n $service_pid ]]; then kill "$service_pid" 2>/dev/null && wait "$service_pid" || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

"$bin_dir/iploc-service" --port 0 --port-file "$work/port" --data-dir "$work/data" --ranges "$ranges" \
    2>"$work/service.log" &
service_pid=$!
for _ in $(seq 100); do [[ -s $work/port ]] && break; sleep 0.05; done
port=$(cat "$work/port")

# One curl run per mode; curl keeps one connection for all URLs of a run unless told not to.
for i in $(seq "$count"); do
    echo "url = \"https://127.0.0.1:$port/json?ip=1.12.$((i % 64)).$((i % 256))\""
    echo "output = /dev/null"
done >"$work/urls"

rate() { # extra curl options...
    local start end
    start=$(date +%s.%N)
    curl --insecure --silent --fail --config "$work/urls" "$@"
    end=$(date +%s.%N)
    awk -v n="$count" -v a="$start" -v b="$end" 'BEGIN { print n / (b - a) }'
}

kept=$(rate)
fresh=$(rate --header "Connection: close")
printf 'requests: %d sequential\n' "$count"
printf 'one kept-alive connection: %8.0f requests/s\n' "$kept"
printf 'a connection per request:  %8.0f requests/s (baseline)\n' "$fresh"
printf 'ratio kept-alive / baseline: %.1f\n' "$(awk -v a="$kept" -v b="$fresh" 'BEGIN { print a / b }')"

#!/usr/bin/env bash
# Opens the window when a display is present: installs what is needed, builds, starts the
# local location service (iploc-service, with the sample ranges) in the background and
# opens iploc-gui against it; the service stops when the window is closed. Without a
# display it runs the command-line demo (scripts/run.sh) instead.
#
# IPLOC_BUILD_DIR chooses the build directory (default: build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run-gui.sh: no display; running the command-line demo instead"
    exec bash scripts/run.sh "$@"
fi

build=${IPLOC_BUILD_DIR:-build}
bash scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja
cmake --build "$build" --target iploc-gui iploc-service

work=$(mktemp -d)
service=
cleanup() {
    if [ -n "$service" ]; then kill "$service" 2>/dev/null || true; wait "$service" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

"$build/bin/iploc-service" --port 0 --port-file "$work/port" --ranges service/data/ranges-sample.csv \
    2>"$work/service.log" &
service=$!
for _ in $(seq 1 600); do
    [ -s "$work/port" ] && break
    kill -0 "$service" 2>/dev/null || { cat "$work/service.log" >&2; exit 1; }
    sleep 0.1
done
[ -s "$work/port" ] || { echo "run-gui.sh: iploc-service did not start" >&2; exit 1; }
host="127.0.0.1:$(cat "$work/port")"
echo "run-gui.sh: iploc-service answers at https://$host/json?ip= (try 1.12.0.1)"
IPLOC_SERVICE_HOST="$host" "$build/bin/iploc-gui"

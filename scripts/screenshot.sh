#!/usr/bin/env bash
# Takes docs/screenshot.png: the real window under Xvfb after a single lookup against the
# local location service, so a reviewer can see what a user sees.
#
#   bash scripts/screenshot.sh [BUILD_DIR] [OUTPUT.png] [ADDRESS]
#
# BUILD_DIR (default: build) must hold bin/iploc-service and bin/gui_screenshot, built
# with the window and the tests on (the defaults). Xvfb runs without a window manager, so
# there is no title bar: the driver writes the window's caption above the window instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
output=${2:-$root/docs/screenshot.png}
address=${3:-1.12.0.1}

for program in iploc-service gui_screenshot; do
    if [ ! -x "$build/bin/$program" ]; then
        echo "screenshot.sh: $build/bin/$program is missing; build it first:" >&2
        echo "  cmake --build $build --target iploc-service gui_screenshot" >&2
        exit 1
    fi
done

work=$(mktemp -d)
service=
cleanup() {
    if [ -n "$service" ]; then kill "$service" 2>/dev/null || true; wait "$service" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

"$build/bin/iploc-service" --port 0 --port-file "$work/port" --data-dir "$work/service" \
    --ranges "$root/service/data/ranges-sample.csv" 2>"$work/service.log" &
service=$!
for _ in $(seq 1 600); do
    [ -s "$work/port" ] && break
    kill -0 "$service" 2>/dev/null || { cat "$work/service.log" >&2; exit 1; }
    sleep 0.1
done
[ -s "$work/port" ] || { echo "screenshot.sh: iploc-service did not start" >&2; exit 1; }

mkdir -p "$(dirname "$output")" "$work/home"
IPLOC_HOME="$work/home" IPLOC_SERVICE_HOST="127.0.0.1:$(cat "$work/port")" QT_QPA_PLATFORM=xcb \
    xvfb-run --auto-servernum --server-args="-screen 0 640x400x24 -br -nolisten tcp" \
    "$build/bin/gui_screenshot" "$output" "$address"
echo "screenshot.sh: wrote $output"

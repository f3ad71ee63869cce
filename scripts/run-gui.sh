#!/usr/bin/env bash
# Opens the window when a display is present: installs what is needed, builds iploc-gui
# and iploc-service, starts iploc-service with the sample ranges in the background, makes
# a small sample workbook and opens iploc-gui against the service. The service stops when
# the window is closed. Without a display ($DISPLAY and $WAYLAND_DISPLAY unset) it runs the
# command-line demo, scripts/run.sh, instead.
#
# The window's program directory (store, sample workbook, exported results) is
# $IPLOC_BUILD_DIR/gui-demo, kept between runs. IPLOC_BUILD_DIR chooses the build
# directory (default: build).
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
bin="$root/$build/bin"
demo="$root/$build/gui-demo"
mkdir -p "$demo"

source scripts/local-service.sh

# One address from each of the first sample ranges, for a batch run.
/usr/bin/python3 - service/data/ranges-sample.csv "$demo/sample.xlsx" <<'PY'
import sys, openpyxl
starts = [line.split(',')[0] for line in open(sys.argv[1], encoding='utf-8') if line[:1].isdigit()]
book = openpyxl.Workbook()
for row, start in enumerate(starts[:8], start=1):
    book.active.cell(row=row, column=1).value = start.rsplit('.', 1)[0] + '.7'
book.save(sys.argv[2])
PY

echo "run-gui.sh: iploc-service answers at 127.0.0.1:$service_port; try 1.12.0.7 with 单次查询,"
echo "run-gui.sh: or 导入文件 $demo/sample.xlsx and 批量查询. Close the window to stop."
IPLOC_SERVICE_HOST="127.0.0.1:$service_port" IPLOC_HOME="$demo" "$bin/iploc-gui"

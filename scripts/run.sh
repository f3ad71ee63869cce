#!/usr/bin/env bash
# The command-line demo: installs what is needed, builds iploc and iploc-service, starts
# iploc-service with the sample ranges in the background, makes a small sample workbook,
# runs `iploc batch` and `iploc export` on it and prints where the result workbook is.
# The service is stopped at the end.
#
# The demo's program directory (store, sample workbook, result) is $IPLOC_BUILD_DIR/demo,
# made afresh on every run. IPLOC_BUILD_DIR chooses the build directory (default: build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# With a display, open the window against a local iploc-service instead (run-gui.sh comes
# back here only when there is no display).
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then exec bash scripts/run-gui.sh "$@"; fi

build=${IPLOC_BUILD_DIR:-build}
bash scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja
cmake --build "$build" --target iploc iploc-service
bin="$root/$build/bin"

demo="$root/$build/demo"
rm -rf "$demo"
mkdir -p "$demo"

echo "== starting iploc-service with the sample ranges =="
source scripts/local-service.sh
export IPLOC_SERVICE_HOST="127.0.0.1:$service_port"
export IPLOC_HOME="$demo"
cat "$demo/service.log"

echo "== sample workbook =="
# One address from each of the first sample ranges, and the first one again (the batch
# answers a repeated address from memory).
/usr/bin/python3 - service/data/ranges-sample.csv "$demo/sample.xlsx" <<'PY'
import sys, openpyxl
starts = [line.split(',')[0] for line in open(sys.argv[1], encoding='utf-8')
          if line[:1].isdigit()]
addresses = [s.rsplit('.', 1)[0] + '.7' for s in starts[:8]]
addresses += [addresses[0]]
book = openpyxl.Workbook()
sheet = book.active
for row, address in enumerate(addresses, start=1):
    sheet.cell(row=row, column=1).value = address
book.save(sys.argv[2])
print('\n'.join(repr(a) for a in addresses))
PY

echo "== iploc lookup 1.12.0.7 =="
"$bin/iploc" lookup 1.12.0.7

echo "== iploc batch $demo/sample.xlsx =="
"$bin/iploc" batch "$demo/sample.xlsx"

echo "== iploc export $demo/sample.xlsx =="
export_out=$("$bin/iploc" export "$demo/sample.xlsx")
echo "$export_out"
result=$(printf '%s\n' "$export_out" | sed -n 's/^result: //p')

echo "== the result, read back =="
/usr/bin/python3 - "$result" <<'PY'
import sys, openpyxl
for row in openpyxl.load_workbook(sys.argv[1]).active.iter_rows(max_col=6, values_only=True):
    print(' | '.join('' if v is None else str(v) for v in row))
PY
echo
echo "Result workbook: $result"
echo "Program directory (store 数据暂存库.edb): $demo"

#!/usr/bin/env bash
# A 10,000-row batch of distinct addresses through `iploc batch` against iploc-service,
# compared with the raw request rate of one reused libcurl handle against the same
# service, in one run. Prints rows/s of both and their ratio (goal: at least 0.7).
# The two are measured in alternating rounds, so both see the same load on a shared
# machine; it reports the median of the rounds' ratios and the ratio of the best rates
# (the least disturbed run of each), with the CPU time per row of each program beside.
#
#   bash bench/app/batch_vs_raw.sh [BIN_DIR] [ROWS] [ROUNDS]    (defaults: build/bin, 10000, 3)
#
# A third program, app_lookup_rate, runs the workflows' lookup road alone (WebRequest, the
# conversion, the JSON parse and the five reads, no workbook, no store) on the same
# addresses, which splits the gap between the two: lookup/raw is the cost of the request
# as the workflows make it, batch/lookup what the batch run adds per row (cell read, store
# append, caption, process start and workbook load).
#
# BIN_DIR must hold iploc, iploc-service, app_raw_request_rate and app_lookup_rate (a build
# with the benchmarks on: cmake --build build --target iploc iploc-service
# app_raw_request_rate app_lookup_rate).
set -euo pipefail

bin_dir=$(cd "${1:-build/bin}" && pwd)
rows=${2:-10000}
rounds=${3:-3}
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
for _ in $(seq 200); do [[ -s $work/port ]] && break; sleep 0.05; done
[[ -s $work/port ]] || { cat "$work/service.log" >&2; exit 1; }
host="127.0.0.1:$(cat "$work/port")"

# Distinct addresses, the same list for both runs.
/usr/bin/python3 - "$rows" "$work/addresses.txt" "$work/addresses.xlsx" <<'PY'
import sys, openpyxl
rows, text_path, book_path = int(sys.argv[1]), sys.argv[2], sys.argv[3]
addresses = ['1.%d.%d.%d' % (12 + i // 65536, i // 256 % 256, i % 256) for i in range(rows)]
open(text_path, 'w').write('\n'.join(addresses) + '\n')
book = openpyxl.Workbook()
sheet = book.active
for row, address in enumerate(addresses, start=1):
    sheet.cell(row=row, column=1).value = address
book.save(book_path)
PY

# Warm-up: the service's certificate and page cache, not measured.
"$bin_dir/app_raw_request_rate" "https://$host/json?ip=" <(head -n 200 "$work/addresses.txt") >/dev/null

# Each round prints "rows/s cpu-seconds" (CPU: user + system of the measured process).
raw_round() {
    /usr/bin/time -f "%U %S" -o "$work/raw.time" \
        "$bin_dir/app_raw_request_rate" "https://$host/json?ip=" "$work/addresses.txt" >"$work/raw.out"
    echo "$(awk '{ print $3 }' "$work/raw.out") $(awk '{ print $1 + $2 }' "$work/raw.time")"
}

lookup_round() {
    /usr/bin/time -f "%U %S" -o "$work/lookup.time" \
        "$bin_dir/app_lookup_rate" "https://$host/json?ip=" "$work/addresses.txt" >"$work/lookup.out"
    echo "$(awk '{ print $3 }' "$work/lookup.out") $(awk '{ print $1 + $2 }' "$work/lookup.time")"
}

batch_round() { # a fresh store each time
    local home start end
    home=$(mktemp -d -p "$work")
    start=$(date +%s.%N)
    IPLOC_HOME="$home" IPLOC_SERVICE_HOST="$host" /usr/bin/time -f "%U %S" -o "$work/batch.time" \
        "$bin_dir/iploc" batch "$work/addresses.xlsx" >"$work/batch.out" 2>"$work/batch.err"
    end=$(date +%s.%N)
    if ! grep -q "已处理${rows}个数据" "$work/batch.out"; then
        echo "the batch did not store $rows rows:" >&2
        cat "$work/batch.out" "$work/batch.err" >&2
        exit 1
    fi
    echo "$(awk -v n="$rows" -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", n / (b - a) }') \
$(awk '{ print $1 + $2 }' "$work/batch.time")"
}

cpu_per_row() { awk -v c="$1" -v n="$rows" 'BEGIN { printf "%.0f", c * 1e6 / n }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ r[NR] = $1 } END { print r[int((NR + 1) / 2)] }'; }
best() { printf '%s\n' "$@" | sort -g | tail -n 1; }

ratios=() lookup_ratios=() added_ratios=() raw_rates=() lookup_rates=() batch_rates=()
for round in $(seq "$rounds"); do
    read -r raw raw_cpu < <(raw_round)
    read -r lookup lookup_cpu < <(lookup_round)
    read -r batch batch_cpu < <(batch_round)
    ratios+=("$(ratio "$batch" "$raw")") lookup_ratios+=("$(ratio "$lookup" "$raw")")
    added_ratios+=("$(ratio "$batch" "$lookup")")
    raw_rates+=("$raw") lookup_rates+=("$lookup") batch_rates+=("$batch")
    printf 'round %d: raw %7.1f rows/s (%s us CPU/row) | lookup road %7.1f (%s us) | iploc batch %7.1f (%s us) | batch/raw %s\n' \
        "$round" "$raw" "$(cpu_per_row "$raw_cpu")" "$lookup" "$(cpu_per_row "$lookup_cpu")" \
        "$batch" "$(cpu_per_row "$batch_cpu")" "$(ratio "$batch" "$raw")"
done
echo "$rows distinct addresses, $rounds rounds; medians of the rounds' ratios:"
echo "  batch/raw   $(median "${ratios[@]}")   (goal >= 0.70)"
echo "  lookup/raw  $(median "${lookup_ratios[@]}")   (the request as the workflows make it)"
echo "  batch/lookup $(median "${added_ratios[@]}")  (what the batch run adds per row)"
echo "best rates: raw $(best "${raw_rates[@]}"), lookup road $(best "${lookup_rates[@]}"), batch $(best "${batch_rates[@]}") rows/s; batch/raw $(ratio "$(best "${batch_rates[@]}")" "$(best "${raw_rates[@]}")")"

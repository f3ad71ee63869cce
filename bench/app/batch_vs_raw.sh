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
# BIN_DIR must hold iploc, iploc-service and app_raw_request_rate (a build with the
# benchmarks on, e.g. cmake --build build --target iploc iploc-service app_raw_request_rate).
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

ratios=() raw_rates=() batch_rates=()
for round in $(seq "$rounds"); do
    read -r raw raw_cpu < <(raw_round)
    read -r batch batch_cpu < <(batch_round)
    ratio=$(awk -v b="$batch" -v r="$raw" 'BEGIN { printf "%.2f", b / r }')
    ratios+=("$ratio") raw_rates+=("$raw") batch_rates+=("$batch")
    printf 'round %d: raw libcurl (one reused handle) %8.1f rows/s, %5.1f us CPU/row | iploc batch (whole program) %8.1f rows/s, %5.1f us CPU/row | ratio %s\n' \
        "$round" "$raw" "$(awk -v c="$raw_cpu" -v n="$rows" 'BEGIN { print c * 1e6 / n }')" \
        "$batch" "$(awk -v c="$batch_cpu" -v n="$rows" 'BEGIN { print c * 1e6 / n }')" "$ratio"
done
median() { printf '%s\n' "$@" | sort -g | awk '{ r[NR] = $1 } END { print r[int((NR + 1) / 2)] }'; }
best() { printf '%s\n' "$@" | sort -g | tail -n 1; }
echo "$rows distinct addresses, $rounds rounds (goal: batch >= 0.70 x raw)"
echo "median of the rounds' ratios: $(median "${ratios[@]}")"
echo "best rates: raw $(best "${raw_rates[@]}") rows/s, batch $(best "${batch_rates[@]}") rows/s, ratio \
$(awk -v b="$(best "${batch_rates[@]}")" -v r="$(best "${raw_rates[@]}")" 'BEGIN { printf "%.2f", b / r }')"

#!/usr/bin/env bash
# Runs every benchmark of the project in one go and prints one table: what is measured, our
# figure, the baseline measured in the same run, the ratio and the goal. The table (with the
# machine it ran on) is also written into bench/README.md.
#
#   bash bench/run-all.sh [--quick]
#
# Builds what it needs in build-bench (RelWithDebInfo, no window). --quick runs smaller counts
# (for a check that everything still runs; its figures are noisier). IPLOC_BENCH_BUILD_DIR
# names another build directory; IPLOC_BENCH_NO_README=1 leaves bench/README.md alone.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

quick=0
[[ "${1:-}" == --quick ]] && quick=1
build=${IPLOC_BENCH_BUILD_DIR:-build-bench}
if ((quick)); then
    reps=3 service_requests=300 batch_rows=1000 batch_rounds=1 workbook_rows=10000
else
    reps=7 service_requests=2000 batch_rows=10000 batch_rounds=3 workbook_rows=100000
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIPLOC_BUILD_GUI=OFF \
    -DIPLOC_BUILD_TESTS=ON -DIPLOC_BUILD_BENCH=ON >/dev/null
# bench/all: every executable under bench/ (Ninja's per-folder target), plus the programs the
# scripts drive.
cmake --build "$build" -j"${IPLOC_BENCH_JOBS:-2}" --target bench/all iploc iploc-service
bin=$root/$build/bin

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rows=$work/rows.tsv # measured | ours | baseline | ratio | goal
: >"$rows"

# A Google Benchmark executable's JSON results: pairs of (ours, baseline) names turned into rows.
# Arguments: executable, then "label|our benchmark|baseline benchmark|field|unit|goal" rows; the
# field is cpu_time or real_time (the median over the repetitions); the ratio is ours / baseline.
google_bench() {
    local exe=$1
    shift
    echo "== $(basename "$exe")" >&2
    "$exe" --benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true \
        --benchmark_out="$work/out.json" --benchmark_out_format=json >"$work/$(basename "$exe").log" 2>&1
    /usr/bin/python3 - "$work/out.json" "$@" >>"$rows" <<'PY'
import json, statistics, sys
results = json.load(open(sys.argv[1]))["benchmarks"]
def median(name, field):
    runs = [r for r in results if r.get("run_type") == "iteration" and not r.get("error_occurred")
            and r["run_name"].split("/")[0] == name]
    if not runs:
        sys.exit("no results for " + name)
    return statistics.median(r[field] for r in runs), runs[0]["time_unit"]
units = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
def shown(value, unit, want):
    number = value * units[unit] / units[want]
    digits = 0 if number >= 100 else 1 if number >= 10 else 2
    return "%.*f %s" % (digits, number, "µs" if want == "us" else want)
for row_text in sys.argv[2:]:
    label, ours, base, field, want, goal = row_text.split("|")
    our_value, our_unit = median(ours, field)
    base_value, base_unit = median(base, field)
    ratio = (our_value * units[our_unit]) / (base_value * units[base_unit])
    print("\t".join([label, shown(our_value, our_unit, want), shown(base_value, base_unit, want),
                     "%.2f× the time" % ratio, goal]))
PY
}

google_bench "$bin/text_conversion_bench" \
    "Utf8ToAnsi, 4 KiB mixed Chinese/ASCII (CPU) vs ICU ucnv_convert|BM_Utf8ToAnsi|BM_RawUtf8To936|cpu_time|us|≤ 1.5× the time" \
    "AnsiToUtf16, 4 KiB (CPU) vs ICU ucnv_convert|BM_AnsiToUtf16|BM_Raw936ToUtf16LE|cpu_time|us|≤ 1.5× the time"
google_bench "$bin/json_bench" \
    "JsonObject Parse + five GetText of an answer (CPU) vs nlohmann DOM|JsonObjectParseAndRead|LibraryDomParseAndRead|cpu_time|us|≤ 2× the time"
google_bench "$bin/web_request_bench" \
    "WebRequest HTTPS GET, loopback, per request (wall) vs one reused raw libcurl handle|WebRequestCalls|RawCurlReusedHandle|real_time|us|≤ 1.25× the time (≥ 0.8× the rate)"
(cd "$work" && google_bench "$bin/store_bench" \
    "ResultStore: 100,000 record appends (wall) vs plain SQLite inserts, same settings|StoreAppend|RawSqliteInsert|real_time|ms|≤ 1.25× the time (≥ 0.8× the rate)")

echo "== workbook_vs_openpyxl.py" >&2
/usr/bin/python3 bench/services/workbook_vs_openpyxl.py "$build" "$workbook_rows" >"$work/workbook.log"
/usr/bin/python3 - "$work/workbook.log" >>"$rows" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
rows = int(re.search(r"rows: (\d+)", text).group(1))
def pair(pattern):
    m = re.search(pattern, text)
    if not m:
        sys.exit("workbook benchmark output not understood: " + pattern)
    return float(m.group(1)), float(m.group(2))
ours, theirs = pair(r"read column A:\s+ours ([\d.]+) s, openpyxl ([\d.]+) s")
print("Workbook: read column A of %d rows (.xlsx) vs openpyxl read-only\t%.3f s\t%.3f s\t%.1f× faster\t≥ 20× faster" % (rows, ours, theirs, theirs / ours))
ours, theirs = pair(r"cells \+ save: ours ([\d.]+) s, openpyxl ([\d.]+) s")
print("Workbook: write %d cells + save vs openpyxl\t%.3f s\t%.3f s\t%.1f× faster\t≥ 20× faster" % (rows * 6, ours, theirs, theirs / ours))
ours, theirs = pair(r"new workbook\): ours ([\d.]+) s, libxlsxwriter ([\d.]+) s")
print("Workbook: the same write vs libxlsxwriter making a new workbook\t%.3f s\t%.3f s\t%.2f× the time\t≤ 2× the time" % (ours, theirs, ours / theirs))
m = re.search(r"peak memory: read (\d+) rows ([\d.]+) MB", text)
print("Workbook: peak memory reading %s rows\t%s MB\t—\t—\t< 100 MB" % (m.group(1), m.group(2)))
m = re.search(r"read 1048576 rows ([\d.]+) MB", text)
print("Workbook: peak memory reading 1,048,576 rows\t%s MB\t—\t—\t< 1024 MB" % m.group(1))
PY

echo "== batch_vs_raw.sh" >&2
bash bench/app/batch_vs_raw.sh "$bin" "$batch_rows" "$batch_rounds" >"$work/batch.log"
/usr/bin/python3 - "$work/batch.log" "$batch_rows" >>"$rows" <<'PY'
import re, statistics, sys
text = open(sys.argv[1]).read()
raw = [float(x) for x in re.findall(r"round \d+: raw\s+([\d.]+) rows/s", text)]
ours = [float(x) for x in re.findall(r"\| iploc batch\s+([\d.]+)", text)]
median_ratio = re.search(r"batch/raw\s+([\d.]+)\s+\(goal", text)
if not raw or not ours or not median_ratio:
    sys.stderr.write(text)
    sys.exit("batch benchmark output not understood")
raw, ours, ratio = statistics.median(raw), statistics.median(ours), float(median_ratio.group(1))
print("iploc batch, %s addresses against iploc-service (whole program) vs raw libcurl, one reused handle (median of rounds)\t%.0f rows/s\t%.0f rows/s\t%.2f× the rate\t≥ 0.70× the rate" % (sys.argv[2], ours, raw, ratio))
PY

echo "== requests.sh" >&2
bash bench/service/requests.sh "$bin" "$service_requests" >"$work/service.log"
/usr/bin/python3 - "$work/service.log" "$service_requests" >>"$rows" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
kept = float(re.search(r"kept-alive connection:\s+([\d.]+)", text).group(1))
fresh = float(re.search(r"connection per request:\s+([\d.]+)", text).group(1))
print("iploc-service: %s sequential requests on one kept-alive connection vs a connection per request\t%.0f requests/s\t%.0f requests/s\t%.1f× the rate\tnot stated" % (sys.argv[2], kept, fresh, kept / fresh))
PY

table=$work/table.md
{
    echo "| Measured | Ours | Baseline (same run) | Ratio | Goal |"
    echo "|---|---|---|---|---|"
    awk -F'\t' '{ printf "| %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, $5 }' "$rows"
} >"$table"
cat "$table"

if [[ "${IPLOC_BENCH_NO_README:-0}" != 1 ]]; then
    {
        cat <<'EOF'
# Benchmarks

Every benchmark of the project, run in one go by

    bash bench/run-all.sh

which builds what it needs in `build-bench` (RelWithDebInfo) and prints this table. Each figure
is set beside a baseline measured in the same run, on the same machine and under the same load,
so the ratio is the figure to compare; absolute times vary with the machine. The Google
Benchmark pairs run interleaved with several repetitions (medians shown); the scripts alternate
their two sides. What each benchmark does, and how to run it alone, is written at the top of
its source: bench/text, bench/json, bench/web, bench/services, bench/app, bench/service.

EOF
        echo "Last run: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)$( ((quick)) && echo ', --quick')."
        echo
        cat "$table"
    } >bench/README.md
    echo "(written to bench/README.md)"
fi

#!/usr/bin/env bash
# Builds the fuzz targets (when needed) and runs each for a while on a copy of its seed corpus.
#
#   fuzz/run.sh [seconds-per-target] [target...]     e.g. fuzz/run.sh 30, fuzz/run.sh 600 json
#
# Targets are the executables <name>_fuzzer; by default every one that was built. Exits non-zero
# when any target reports a crash, a leak, a time-out (one input taking more than 10 s), memory
# beyond 2 GiB or a sanitizer finding. The reproducing input is kept in
# <build>/fuzz-artifacts/<target>/. The repository's corpora are never written.
#
# Environment: IPLOC_FUZZ_BUILD_DIR (default build-fuzz); IPLOC_FUZZ_WORK, a directory that keeps
# the grown corpora between runs (default: a temporary directory, removed at the end);
# IPLOC_FUZZ_SKIP_BUILD=1 runs the executables already built; IPLOC_FUZZ_MAX_LEN, the largest
# input tried (default 8192 bytes, 32768 for workbooks).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift || true
build=${IPLOC_FUZZ_BUILD_DIR:-build-fuzz}

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DIPLOC_FUZZ=ON -DIPLOC_BUILD_GUI=OFF \
        -DIPLOC_BUILD_TESTS=OFF -DIPLOC_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
if [[ "${IPLOC_FUZZ_SKIP_BUILD:-0}" != 1 ]]; then
    cmake --build "$build" --target iploc_fuzzers -j"${IPLOC_FUZZ_JOBS:-2}"
fi

if [[ $# -gt 0 ]]; then
    targets=("$@")
else
    targets=()
    for exe in "$build"/bin/*_fuzzer; do targets+=("$(basename "$exe" _fuzzer)"); done
fi

if [[ -n "${IPLOC_FUZZ_WORK:-}" ]]; then
    work=$IPLOC_FUZZ_WORK
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
summary=()
for target in "${targets[@]}"; do
    exe="$build/bin/${target}_fuzzer"
    [[ -x "$exe" ]] || { echo "no such fuzz target: $target" >&2; failed+=("$target"); continue; }
    corpus="$work/$target"
    mkdir -p "$corpus"
    [[ -d "fuzz/corpus/$target" ]] && cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
    artifacts="$build/fuzz-artifacts/$target"
    mkdir -p "$artifacts"
    log="$build/fuzz-artifacts/$target.log"
    echo "== fuzz $target for ${seconds}s =="
    # Sanitizer reports from the child process that isolates FreeXL (xls_file) go here.
    export IPLOC_FUZZ_CHILD_LOG="$build/fuzz-artifacts/$target.child.log"
    rm -f "$IPLOC_FUZZ_CHILD_LOG"
    # Workbooks need room for a package; texts get far more than any seed holds.
    case $target in
        xlsx | xls | xls_file) max_len=${IPLOC_FUZZ_MAX_LEN:-32768} ;;
        *) max_len=${IPLOC_FUZZ_MAX_LEN:-8192} ;;
    esac
    status=0
    "$exe" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" -print_final_stats=1 \
        -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || echo "?")
    if [[ $status -ne 0 ]]; then
        echo "fuzz target $target FAILED (exit $status); log $log, inputs in $artifacts/" >&2
        grep -E -A30 '^==[0-9]+==|runtime error|fuzz expectation failed|ALARM|out-of-memory|ERROR: libFuzzer' \
            "$log" | head -60 >&2 || true
        failed+=("$target")
        summary+=("$(printf '%-16s %12s  FAILED' "$target" "$runs")")
    else
        summary+=("$(printf '%-16s %12s  ok' "$target" "$runs")")
    fi
    if [[ -s "$IPLOC_FUZZ_CHILD_LOG" ]]; then
        summary+=("$(printf '%-16s %12s  (child processes that ended on a sanitizer report in a C library: %s; see %s)' \
            "" "" "$(grep -c '^SUMMARY:' "$IPLOC_FUZZ_CHILD_LOG" || true)" "$IPLOC_FUZZ_CHILD_LOG")")
    fi
done

echo "== fuzz summary (${seconds}s per target) =="
printf '%-16s %12s  %s\n' target executions result
printf '%s\n' "${summary[@]}"
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "fuzzing found faults in: ${failed[*]}" >&2
    exit 1
fi

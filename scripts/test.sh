#!/usr/bin/env bash
# Runs every test of the project: the normal build, then the tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer. Exits non-zero when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== build and test (RelWithDebInfo) =="
cmake -S . -B build -G Ninja -DIPLOC_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure --timeout 300 -j2

echo "== build and test (AddressSanitizer + UndefinedBehaviorSanitizer) =="
cmake -S . -B build-asan -G Ninja -DIPLOC_SANITIZE=ON -DIPLOC_BUILD_BENCH=OFF -DIPLOC_BUILD_GUI=OFF \
    -DCMAKE_BUILD_TYPE=Debug -DIPLOC_WERROR=ON
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure --timeout 600 -j2

echo "== fuzz targets (30 s each; see docs/hardening.md) =="
bash fuzz/run.sh 30

echo "== ThreadSanitizer: workflow tests and stress test =="
cmake -S . -B build-tsan -G Ninja -DIPLOC_TSAN=ON -DIPLOC_BUILD_BENCH=OFF -DIPLOC_BUILD_GUI=OFF -DIPLOC_WERROR=ON
cmake --build build-tsan --target app_tests app_stress_tests iploc-service
export IPLOC_BIN_DIR=$PWD/build-tsan/bin
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
    bash -c 'build-tsan/bin/app_tests && build-tsan/bin/app_stress_tests'

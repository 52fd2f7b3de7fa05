#!/usr/bin/env bash
# Runs every test. Installs what is missing, then:
#   1. Release build: all tests, including a private cupsd printing through a queue;
#   2. the same build's end-to-end tests with the filter under valgrind;
#   3. ASan + UBSan build: all tests (a sanitizer report fails the run: the
#      sanitized filter exits non-zero and its report lands on standard error,
#      which the tests compare);
#   4. as root: the Debian package built, installed with apt-get and used;
#   5. each fuzz harness for a bounded time (FUZZ_SECONDS, default 30; 0 skips);
#   6. the benchmark's quick form, as a check that it runs (timings not judged).
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS="${JOBS:-2}"
FUZZ_SECONDS="${FUZZ_SECONDS:-30}"
scripts/install-deps.sh

echo "== 1. Release build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$JOBS"
ctest --test-dir build --output-on-failure -j"$JOBS"

echo "== 2. End-to-end tests with the filter under valgrind"
# Every test that runs the filter carries the label runs-filter; the CUPS
# tests run it through the print system, where the wrapper does not reach.
CORVANE_FILTER_WRAPPER="valgrind -q --leak-check=full --error-exitcode=1" \
  ctest --test-dir build --output-on-failure -j"$JOBS" -L runs-filter -LE cups

echo "== 3. ASan + UBSan build and tests"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON -DCORVANE_BENCH=OFF >/dev/null
cmake --build build-sanitize -j"$JOBS"
ctest --test-dir build-sanitize --output-on-failure -j"$JOBS"
unset ASAN_OPTIONS UBSAN_OPTIONS

if [ "$(id -u)" -eq 0 ]; then
  echo "== 4. Debian package: build, install, print"
  bash tests/cups/deb-install-test.sh build
else
  echo "== 4. Debian package test skipped (needs root for apt-get)"
fi

if [ "$FUZZ_SECONDS" -gt 0 ]; then
  echo "== 5. Fuzzing, ${FUZZ_SECONDS} s per harness"
  fuzz/run.sh "$FUZZ_SECONDS"
fi

echo "== 6. Benchmark smoke test"
BUILD_DIR="$PWD/build" bench/run --quick

echo "== All tests passed"

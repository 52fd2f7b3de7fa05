#!/usr/bin/env bash
# Runs every test. Installs what is missing, then:
#   1. Release build: all tests, including a private cupsd printing through a queue;
#   2. the printer application built against PAPPL 1.4.11 (built from
#      ../shared/deps/pappl-1.4.11.tar.gz beside the project, as a static
#      library in build-pappl-1.4.11/pappl), and its tests (CTest label app);
#      skipped when that tarball is not there;
#   3. the Release build's end-to-end tests with the filter under valgrind;
#   4. ASan + UBSan build: all tests (a sanitizer report fails the run: the
#      sanitized filter exits non-zero and its report lands on standard error,
#      which the tests compare);
#   5. as root: the Debian package built, installed with apt-get and used;
#   6. each fuzz harness for a bounded time (FUZZ_SECONDS, default 30; 0 skips);
#   7. the benchmark's quick form, as a check that it runs (timings not judged).
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS="${JOBS:-2}"
FUZZ_SECONDS="${FUZZ_SECONDS:-30}"
scripts/install-deps.sh

echo "== 1. Release build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$JOBS"
ctest --test-dir build --output-on-failure -j"$JOBS"

echo "== 2. The printer application against PAPPL 1.4.11"
pappl_tarball=$(cd .. && pwd)/shared/deps/pappl-1.4.11.tar.gz
if [ -f "$pappl_tarball" ]; then
  if [ -f "$pappl_tarball.sha256" ]; then
    (cd "$(dirname "$pappl_tarball")" && sha256sum --quiet -c "$pappl_tarball.sha256")
  fi
  scripts/build-pappl.sh "$pappl_tarball" build-pappl-1.4.11/pappl
  PKG_CONFIG_PATH="$PWD/build-pappl-1.4.11/pappl/lib/pkgconfig" cmake -S . -B build-pappl-1.4.11 \
    -DCMAKE_BUILD_TYPE=Release -DCORVANE_BENCH=OFF -DCORVANE_DRIVER=OFF | grep 'corvane-printer-app: PAPPL'
  cmake --build build-pappl-1.4.11 -j"$JOBS"
  ctest --test-dir build-pappl-1.4.11 --output-on-failure -j"$JOBS" -L app
else
  echo "   skipped: $pappl_tarball is not there (a clone outside CI)"
fi

echo "== 3. End-to-end tests with the filter under valgrind"
# Every test that runs the filter carries the label runs-filter; the CUPS
# tests run it through the print system, where the wrapper does not reach.
CORVANE_FILTER_WRAPPER="valgrind -q --leak-check=full --error-exitcode=1" \
  ctest --test-dir build --output-on-failure -j"$JOBS" -L runs-filter -LE cups

echo "== 4. ASan + UBSan build and tests"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON -DCORVANE_BENCH=OFF >/dev/null
cmake --build build-sanitize -j"$JOBS"
ctest --test-dir build-sanitize --output-on-failure -j"$JOBS"
unset ASAN_OPTIONS UBSAN_OPTIONS

if [ "$(id -u)" -eq 0 ]; then
  echo "== 5. Debian package: build, install, print"
  bash tests/cups/deb-install-test.sh build
else
  echo "== 5. Debian package test skipped (needs root for apt-get)"
fi

if [ "$FUZZ_SECONDS" -gt 0 ]; then
  echo "== 6. Fuzzing, ${FUZZ_SECONDS} s per harness"
  fuzz/run.sh "$FUZZ_SECONDS"
fi

echo "== 7. Benchmark smoke test"
BUILD_DIR="$PWD/build" bench/run --quick

echo "== All tests passed"

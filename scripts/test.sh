#!/usr/bin/env bash
# Runs every test: installs what is missing, then builds and tests twice,
# once normally and once with AddressSanitizer + UndefinedBehaviorSanitizer.
# A sanitizer report fails the run (the sanitized filter exits non-zero and
# its report lands on standard error, which the tests compare).
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS="${JOBS:-2}"
scripts/install-deps.sh

echo "== Release build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$JOBS"
(cd build && ctest --output-on-failure -j"$JOBS")

echo "== ASan + UBSan build and tests"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON -DCORVANE_BENCH=OFF >/dev/null
cmake --build build-sanitize -j"$JOBS"
(cd build-sanitize && ctest --output-on-failure -j"$JOBS")
unset ASAN_OPTIONS UBSAN_OPTIONS

echo "== All tests passed"

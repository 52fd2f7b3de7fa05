#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (ASan + UBSan) and runs each one
# for a bounded time on a copy of its committed seed corpus.
#
#   fuzz/run.sh [SECONDS_PER_HARNESS] [HARNESS...]
#
# SECONDS_PER_HARNESS defaults to 60; harnesses default to all four
# (jobFuzzer optionsFuzzer compressFuzzer appFuzzer). BUILD_DIR (default build-fuzz)
# and JOBS (default 2) can be set in the environment. New inputs found during
# the run go to $BUILD_DIR/fuzz/corpus-<harness>, not into the source tree.
# Exits non-zero if a harness finds a crash, leak, timeout or assertion; the
# input that caused it is left as $BUILD_DIR/fuzz/<harness>-*.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}" build="${BUILD_DIR:-$root/build-fuzz}"
harnesses=("${@:2}")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(jobFuzzer optionsFuzzer compressFuzzer appFuzzer)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF -DCORVANE_TOOLS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target "${harnesses[@]}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
status=0
for harness in "${harnesses[@]}"; do
  work="$build/fuzz/corpus-$harness"
  mkdir -p "$work"
  echo "== $harness: ${seconds}s"
  # Seeds: jobFuzzer's in corpus/job. -timeout: one input taking this long is
  # a finding (a hang). -rss_limit_mb: a page may use a few times 16 MiB of
  # buffers, no more.
  (cd "$build/fuzz" && "./$harness" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 "$work" "$root/fuzz/corpus/${harness%Fuzzer}" 2>"$harness.log") ||
    { status=1; echo "!! $harness found a problem; see $build/fuzz/$harness.log" >&2; }
  grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$build/fuzz/$harness.log" || true
done
exit $status

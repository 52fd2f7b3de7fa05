#!/usr/bin/env bash
# First run on a fresh machine: installs what is missing, builds the filter,
# prints the bundled sample document to out/sample.pcl and renders page 1 of
# it to out/sample-page1.png.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"${JOBS:-2}"

scripts/demo.sh build
build/pclinspect --check out/sample.pcl >/dev/null
build/pclinspect --png out/sample --scale 4 --page 1 out/sample.pcl
echo "Printer stream: $(pwd)/out/sample.pcl"
echo "Preview of page 1: $(pwd)/out/sample-page1.png"

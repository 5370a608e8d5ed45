#!/usr/bin/env bash
# Builds the Linux veskal and runs its benchmarks (a few minutes); the JSON
# lands in build/native/benchmarks/results.json.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages cmake make g++ libgtest-dev libbenchmark-dev
cmake --preset native -DBUILD_TESTING=ON >/dev/null
cmake --build --preset native -j "$(nproc)" --target veskal_benchmarks >/dev/null
build/native/benchmarks/veskal_benchmarks --benchmark_out=build/native/benchmarks/results.json \
  --benchmark_out_format=json "$@"
ls -l build/native/VESKAL* build/windows/VESKAL.exe 2>/dev/null || true

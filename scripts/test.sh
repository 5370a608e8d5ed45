#!/usr/bin/env bash
# Installs what the tests need, then builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
jobs=$(nproc)

echo "== native build and tests"
need_packages cmake make g++ libgtest-dev
cmake --preset native -DBUILD_TESTING=ON -DVESKAL_WERROR=ON >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

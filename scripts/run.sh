#!/usr/bin/env bash
# Builds the Linux veskal and runs it at this terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages cmake make g++ libgtest-dev
cmake --preset native -DBUILD_TESTING=OFF >/dev/null
cmake --build --preset native --target veskal >/dev/null
exec build/native/veskal

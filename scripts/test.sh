#!/usr/bin/env bash
# Installs what the tests need, then builds and runs every test: the Linux
# build, then VESKAL.exe, checked as a file and run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
jobs=$(nproc)

echo "== Linux build (veskal) and its tests"
need_packages cmake make g++ libgtest-dev libbenchmark-dev
cmake --preset native -DBUILD_TESTING=ON -DVESKAL_WERROR=ON >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

echo "== Linux build and tests under AddressSanitizer (leaks too) and UBSan"
cmake --preset sanitize -DBUILD_TESTING=ON -DVESKAL_WERROR=ON >/dev/null
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs"

echo "== Fuzzing the registry store's reader (libFuzzer, bounded)"
need_packages clang libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
fuzzer=build/fuzz/tests/fuzz/veskal_store_fuzz
mkdir -p build/fuzz/corpus build/fuzz/artifacts
# Every input that ever broke it, once each; then new inputs for a while.
"$fuzzer" tests/fuzz/regressions/*.reg
"$fuzzer" -max_total_time="${VESKAL_FUZZ_SECONDS:-45}" -print_final_stats=1 \
  -artifact_prefix=build/fuzz/artifacts/ build/fuzz/corpus tests/fuzz/corpus 2>&1 |
  grep -E "^(Done|stat::number_of_executed_units|stat::new_units_added)|ERROR|SUMMARY" || true
if ls build/fuzz/artifacts/* >/dev/null 2>&1; then
  echo "fuzzing found inputs that break the store: build/fuzz/artifacts/ (keep them in tests/fuzz/regressions/)" >&2
  exit 1
fi

echo "== Windows build (VESKAL.exe), checked under Wine"
need_packages g++-mingw-w64-i686 wine wine32:i386 xvfb xdotool imagemagick icoutils \
  python3 locales googletest
need_locale fr_FR.UTF-8
cmake --preset windows -DBUILD_TESTING=ON -DVESKAL_WERROR=ON >/dev/null
cmake --build --preset windows -j "$jobs"
ctest --preset windows
(cd build/windows && cpack >/dev/null && python3 -c \
  'import zipfile,sys; n=sorted(zipfile.ZipFile(sys.argv[1]).namelist()); print("package:", sys.argv[1], n); sys.exit(n != ["README.md", "VESKAL.exe"])' \
  VESKAL-1.0.0-win32.zip)

echo "== VESKAL.exe builds to the same bytes twice"
rm -rf build/windows-again
cmake -S . -B build/windows-again --toolchain cmake/mingw-w64-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build/windows-again --target veskal -j "$jobs" >/dev/null
cmp build/windows/VESKAL.exe build/windows-again/VESKAL.exe
echo "identical: $(stat -c %s build/windows/VESKAL.exe) bytes"

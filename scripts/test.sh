#!/usr/bin/env bash
# Installs what the tests need, then builds and runs every test: the Linux
# build, then VESKAL.exe, checked as a file and run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
jobs=$(nproc)

echo "== Linux build (veskal) and its tests"
need_packages cmake make g++ libgtest-dev
cmake --preset native -DBUILD_TESTING=ON -DVESKAL_WERROR=ON >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

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

#!/usr/bin/env bash
# Sets up, builds from nothing (AddressSanitizer and UndefinedBehaviorSanitizer on) and runs
# every test, the end-to-end ones included, and the Windows build's tests under Wine (label
# wine). Before that it builds the Debian package from a Release build and checks it
# (scripts/check-package.sh); a failed check fails the run after ctest has had its say. Extra
# arguments go to ctest (e.g. -L unit).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh --test

echo "== Debian package: Release build, cpack, lintian, the unpacked programs and files =="
package_started=$(date +%s)
package_status=0
deb=$(./scripts/package.sh) &&
  ./scripts/check-package.sh "$deb" || package_status=1
package_verdict=$([ $package_status -eq 0 ] && echo passed || echo FAILED)
echo "== Debian package: $package_verdict ($(($(date +%s) - package_started)) s) =="

# The Windows build: the Win32 Monitor, the companion, the installer and the tests, cross-built
# with mingw-w64, and Wine's private prefixes below build/win64.
echo "== Windows build (mingw-w64) =="
win_started=$(date +%s)
cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Debug -DQPM_BUILD_BENCHMARKS=OFF
cmake --build build/win64
cmake --build build/win64 --target installer
echo "== Windows build: $(($(date +%s) - win_started)) s =="

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQPM_SANITIZE=ON \
  -DQPM_BUILD_BENCHMARKS=OFF -DQPM_WINE_TESTS="$PWD/build/win64"
cmake --build build/test
cd build/test
status=0
ctest --output-on-failure --timeout 600 -j2 "$@" || status=$?
if [ $package_status -ne 0 ]; then
  echo "The Debian package checks FAILED: see the package step at the start of this run."
  status=1
fi
exit $status

#!/usr/bin/env bash
# Builds the releases in one command: the Debian package (a Release build with Debian's usual
# hardening flags, then CPack) and the Windows installer (a Release cross-build with mingw-w64,
# then NSIS). Leaves quorvel-monitor_<version>_<arch>.deb and quorvel-monitor-setup.exe in the
# repository's top folder and prints the package's path on standard output (all else goes to
# standard error). Install the package with `sudo apt install ./<that file>`.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh --package >&2
# Debian's flags without debug information: the package's programs are stripped anyway.
export DEB_CXXFLAGS_MAINT_STRIP=-g DEB_BUILD_MAINT_OPTIONS=hardening=+all
# The library folder as Debian names it: the Wayland clipboard plug-in lives in a private folder
# below it, which ldconfig does not look at.
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_LIBDIR="lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)" \
  -DQPM_BUILD_TESTS=OFF -DQPM_BUILD_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_MODULE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build/package >&2
rm -f build/package/quorvel-monitor_*.deb
(cd build/package && cpack -G DEB >/dev/null)
debs=(build/package/quorvel-monitor_*.deb)
cp "${debs[0]}" .
cmake -S . -B build/package-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQPM_BUILD_TESTS=OFF -DQPM_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build/package-win64 --target installer >&2
cp build/package-win64/quorvel-monitor-setup.exe .
echo "$PWD/$(basename "${debs[0]}")"

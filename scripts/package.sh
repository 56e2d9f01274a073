#!/usr/bin/env bash
# Builds the Debian package in one command: a Release build with Debian's usual hardening
# flags, then CPack. Leaves quorvel-monitor_<version>_<arch>.deb in the repository's top
# folder and prints its path on standard output (all else goes to standard error). Install it
# with `sudo apt install ./<that file>`.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh >&2
# Debian's flags without debug information: the package's programs are stripped anyway.
export DEB_CXXFLAGS_MAINT_STRIP=-g DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQPM_BUILD_TESTS=OFF -DQPM_BUILD_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build/package >&2
rm -f build/package/quorvel-monitor_*.deb
(cd build/package && cpack -G DEB >/dev/null)
debs=(build/package/quorvel-monitor_*.deb)
cp "${debs[0]}" .
echo "$PWD/$(basename "${debs[0]}")"

#!/usr/bin/env bash
# Installs the Debian packages the Monitor needs to build, run, package and be tested, if any
# are missing. As root it runs apt-get; otherwise it prints the exact command to run and fails.
#   scripts/setup.sh [--screenshots]   also what docs/screenshots.sh needs
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  libsqlite3-dev libxcb1-dev nettle-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xclip openbox faketime
  scdoc man-db desktop-file-utils appstream
  dpkg-dev file lintian
  g++-mingw-w64-x86-64-posix googletest wine64
  nsis trayer x11-utils xdotool
)
if [ "${1:-}" = "--screenshots" ]; then
  PACKAGES+=(imagemagick)
fi

missing=()
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run:  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages the Monitor needs, if any are missing: to build and run it, and
# with options also to package it or to test it. As root it runs apt-get; otherwise it prints
# the exact command to run and fails.
#   scripts/setup.sh                  build and run (scripts/start.sh)
#   scripts/setup.sh --package        also build the Debian package (scripts/package.sh)
#   scripts/setup.sh --test           also package it and run every test (scripts/test.sh)
#   scripts/setup.sh --screenshots    also what docs/screenshots.sh needs
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config scdoc
  libsqlite3-dev libxcb1-dev libwayland-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-wayland
)
PACKAGE_TOOLS=(dpkg-dev file)
TEST_TOOLS=(
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xclip openbox faketime
  sway wl-clipboard dbus
  man-db desktop-file-utils appstream lintian
  g++-mingw-w64-x86-64-posix googletest wine64
  nsis trayer x11-utils xdotool
)
for option in "$@"; do
  case "$option" in
    --package) PACKAGES+=("${PACKAGE_TOOLS[@]}") ;;
    --test) PACKAGES+=("${PACKAGE_TOOLS[@]}" "${TEST_TOOLS[@]}") ;;
    --screenshots) PACKAGES+=("${PACKAGE_TOOLS[@]}" "${TEST_TOOLS[@]}" imagemagick) ;;
    *) echo "setup.sh: unknown option '$option'" >&2; exit 2 ;;
  esac
done

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

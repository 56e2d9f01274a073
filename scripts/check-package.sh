#!/usr/bin/env bash
# Checks a built Debian package without installing anything on the system:
#   - lintian reports no error and no warning;
#   - the file name, the package's Version and the programs' --version agree;
#   - unpacked with dpkg-deb -x into a temporary folder, it passes scripts/check-installed.sh,
#     which runs the unpacked programs against the system's own libraries.
# Prints one line per check and fails when one fails.
#
#   scripts/check-package.sh quorvel-monitor_<version>_<arch>.deb
set -euo pipefail
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 PACKAGE.deb" >&2
  exit 2
fi
deb=$1
failed=0

version=$(dpkg-deb -f "$deb" Version)
expected=quorvel-monitor_${version}_$(dpkg --print-architecture).deb
if [ "$(basename "$deb")" = "$expected" ]; then
  echo "  ok      $expected"
else
  echo "  FAILED  $(basename "$deb") should be named $expected"
  failed=1
fi

status=0
said=$(lintian --fail-on error,warning "$deb" 2>&1) || status=$?
if [ $status -eq 0 ]; then
  echo "  ok      lintian"
else
  echo "  FAILED  lintian (status $status)"
  failed=1
fi
grep -v '^running with root privileges' <<<"$said" | sed 's/^/          /' || true

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
"$(dirname "$0")/check-installed.sh" "$root" "$version" || failed=1
exit $failed

#!/usr/bin/env bash
# Checks what the Monitor installs on a desktop, in a tree laid out as on the system (ROOT/usr,
# ROOT/etc), as `dpkg-deb -x` or an install with DESTDIR leave it:
#   - every file is there, and the entries start a program that is there;
#   - the Monitor finds its Wayland clipboard plug-in and loads it;
#   - the menu and autostart entries pass desktop-file-validate without a word;
#   - the AppStream metainfo passes `appstreamcli validate --no-net --strict`;
#   - the manual pages render at 80 columns without a warning;
#   - both programs run and tell one version, the version of the metainfo and the manuals.
# Prints one line per check and fails when one fails.
#
#   scripts/check-installed.sh ROOT [VERSION]  VERSION: the one the programs must tell
#   scripts/check-installed.sh --install BUILD  install BUILD into a temporary ROOT first
set -euo pipefail

wanted=
if [ "${1:-}" = "--install" ] && [ $# -eq 2 ]; then
  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  DESTDIR="$root" cmake --install "$2" --prefix /usr >/dev/null
elif [ $# -eq 1 ] || [ $# -eq 2 ]; then
  root=$1
  wanted=${2:-}
else
  echo "usage: $0 ROOT [VERSION] | --install BUILD" >&2
  exit 2
fi

failed=0
pass() { echo "  ok      $*"; }
fail() {
  echo "  FAILED  $*"
  failed=1
}

metainfo=usr/share/metainfo/com.marrowfen.QuorvelProMonitor.metainfo.xml
entries=(usr/share/applications/quorvel-monitor.desktop etc/xdg/autostart/quorvel-monitor.desktop)
manuals=(usr/share/man/man1/quorvel-monitor.1.gz usr/share/man/man1/quorvel-monitorctl.1.gz)
expected=(usr/bin/quorvel-monitor usr/bin/quorvel-monitorctl "${entries[@]}" "$metainfo"
  "${manuals[@]}" usr/share/icons/hicolor/scalable/apps/quorvel-monitor{,-tray,-window}.svg
  usr/share/doc/quorvel-monitor/guide.md usr/share/doc/quorvel-monitor/images/main-window.png)
for file in "${expected[@]}"; do
  [ -f "$root/$file" ] || fail "missing /$file"
done

# The Monitor finds its Wayland clipboard plug-in where it is installed and loads it against the
# system's libraries: started for a Wayland display without a folder for named objects, it loads
# the plug-in first and then refuses to start.
said=$(env -u DISPLAY -u QT_QPA_PLATFORM WAYLAND_DISPLAY=/nonexistent/wayland-0 \
  XDG_RUNTIME_DIR=/dev/null "$root/usr/bin/quorvel-monitor" 2>&1) || true
if [[ "$said" == *"cannot start:"* && "$said" != *"could not be loaded"* ]]; then
  pass "quorvel-monitor loads its Wayland clipboard plug-in"
else
  fail "quorvel-monitor and its Wayland clipboard plug-in: $said"
fi

for entry in "${entries[@]}"; do
  [ -f "$root/$entry" ] || continue
  said=$(desktop-file-validate "$root/$entry" 2>&1) && [ -z "$said" ] &&
    pass "desktop-file-validate /$entry" || fail "desktop-file-validate /$entry: $said"
  program=$(sed -n 's/^TryExec=//p' "$root/$entry")
  [ -x "$root$program" ] && pass "/$entry starts $program" ||
    fail "/$entry starts $program, which is not installed"
done

if [ -f "$root/$metainfo" ]; then
  said=$(appstreamcli validate --no-net --strict "$root/$metainfo" 2>&1) &&
    pass "appstreamcli validate /$metainfo" || fail "appstreamcli validate /$metainfo: $said"
fi

version=$("$root/usr/bin/quorvel-monitor" --version 2>&1) || true
version=${version#quorvel-monitor }
if [[ "$version" =~ ^[0-9]+(\.[0-9]+)*$ ]] && [ "${wanted:-$version}" = "$version" ]; then
  pass "quorvel-monitor --version: $version"
else
  fail "quorvel-monitor --version: $version${wanted:+ (the package is $wanted)}"
fi
said=$("$root/usr/bin/quorvel-monitorctl" --version 2>&1) || true
[ "$said" = "quorvel-monitorctl $version" ] && pass "quorvel-monitorctl --version: $version" ||
  fail "quorvel-monitorctl --version: $said"
grep -q "<release version=\"$version\"" "$root/$metainfo" 2>/dev/null &&
  pass "metainfo release $version" || fail "metainfo has no release $version"

for manual in "${manuals[@]}"; do
  [ -f "$root/$manual" ] || continue
  warnings=$(MANWIDTH=80 man --warnings -l "$root/$manual" 2>&1 >/dev/null) || true
  footer=$(MANWIDTH=80 man -l "$root/$manual" 2>/dev/null | tail -n 1)
  if [ -n "$warnings" ]; then
    fail "man --warnings -l /$manual: $warnings"
  elif [[ "$footer" != *"quorvel-monitor $version "* ]]; then
    fail "/$manual is not of version $version: $footer"
  else
    pass "man --warnings -l /$manual"
  fi
done

exit $failed

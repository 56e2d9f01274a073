#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix: WINEPREFIX, HOME and the XDG
# folders all lie below the build folder, so that no run reads or changes the user's own Wine or
# files. Carriage returns are taken out of the program's standard output, which the Windows C
# runtime writes with CR LF line ends.
#
# usage: run.sh WINE PREFIX PROGRAM [ARGS...]
#        run.sh WINE PREFIX --init | --start | --stop
#   --init   makes the prefix
#   --start  starts a server for the prefix that stays, and Wine's own background programs,
#            so that each program after it starts in half a second instead of ten
#   --stop   ends that server and the background programs with it
set -euo pipefail
wine=$1
prefix=$2
shift 2
wineserver=${WINESERVER:-$(dirname "$wine")/wineserver}
home="$prefix-home"
mkdir -p "$home"
export WINEPREFIX="$prefix" HOME="$home" XDG_CONFIG_HOME="$home/.config"
export XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache"
export XDG_RUNTIME_DIR="$home/runtime"
mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
# Wine takes the system's zone from TZ when a program starts: $QPM_SYSTEM_ZONE (a zone of the
# zone database), or UTC. The C runtime reads TZ too; UTC0 it reads as UTC, and a TZ it is given
# later keeps its daylight rules only while TZ has never been unset (once it has, Wine's C
# runtime keeps the system zone's rules, none for UTC, for every TZ after it).
export TZ=${QPM_SYSTEM_ZONE:-UTC0}
# No debug channels, no window system, and no offer to install Mono or Gecko in a new prefix.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# Background programs must not hold a caller's pipes open: they get none.
quiet() { "$@" </dev/null >/dev/null 2>&1; }

case "${1:-}" in
  --init)
    quiet "$wine" wineboot --init
    quiet "$wineserver" --wait
    ;;
  --start)
    # The short-lived server that listing the tests may have left goes first.
    quiet "$wineserver" --kill || true
    quiet "$wineserver" --wait || true
    quiet "$wineserver" --persistent
    quiet "$wine" cmd /c exit
    ;;
  --stop)
    quiet "$wineserver" --kill || true
    ;;
  *)
    "$wine" "$@" | tr -d '\r'
    ;;
esac

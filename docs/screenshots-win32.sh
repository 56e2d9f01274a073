#!/usr/bin/env bash
# Makes the user guide's pictures of the Windows Monitor (docs/images/win32-*.png): the real
# quorvel-monitor.exe of a Windows build, under Wine on Xvfb with openbox and trayer, in a Wine
# prefix of its own below the build folder, seeded with the Windows companion. Ends only the
# processes it started: its display's programs by pid, and its own prefix's Wine server.
#
#   docs/screenshots-win32.sh [WINDOWS-BUILD-FOLDER]      (default: build/win64-release)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh --screenshots
build=${1:-build/win64-release}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DQPM_BUILD_TESTS=OFF -DQPM_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$build" --target quorvel-monitor quorvel-monitorctl
build=$(cd "$build" && pwd)
monitor=$build/src/frontend/win32/quorvel-monitor.exe
ctl=$build/tools/quorvel-monitorctl.exe
images=$PWD/docs/images
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

world=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-guide-win32-XXXXXX")
export WINEPREFIX=$build/wine-guide HOME=$build/wine-guide-home TZ=UTC0
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$HOME"
pids=()
finish() {
  "$wineserver" -k >/dev/null 2>&1 || true
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$world"
}
trap finish EXIT
start() { # start LOG COMMAND...: runs COMMAND in the background, to be ended at the end
  local log=$1
  shift
  "$@" </dev/null >"$world/$log.log" 2>&1 &
  pids+=($!)
}
quiet() { "$@" </dev/null >/dev/null 2>&1; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x640x24 3>"$world/display" \
  >"$world/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [ -s "$world/display" ] && break
  sleep 0.1
done
DISPLAY=:$(head -n 1 "$world/display")
export DISPLAY
start openbox openbox
convert -size 8x8 xc:'#4f6d8a' "$world/desktop.png"
display -window root "$world/desktop.png" || true
start trayer trayer --edge bottom --align right --widthtype pixel --width 160 --height 26 \
  --SetDockType true --transparent false --tint 0xd8d8d8

[ -f "$WINEPREFIX/system.reg" ] || { quiet "$wine" wineboot --init && quiet "$wineserver" --wait; }
reg() { quiet "$wine" reg "$@"; }
reg delete 'HKCU\Software\Marrowfen' /f || true
# Stand-ins for the client and its download helper, one interrupted download, the URL monitor
# on, and a queue due at the scheduler's first pass.
mkdir -p "$world/client" "$world/queues"
# (the companion: a Windows program that ends at once, whatever it is given)
cp "$ctl" "$world/client/Quorvel PRO.exe"
cp "$ctl" "$world/client/KettrinDL.exe"
reg add 'HKLM\Software\Marrowfen\QUORVEL PRO\Settings' /v Path /t REG_SZ \
  /d "$(winpath "$world/client")" /f
prefs='HKCU\Software\Marrowfen\QUORVEL PRO\CurrentVersion\Preferences'
reg add "$prefs" /v URLMonitor /t REG_DWORD /d 1 /f
db='HKCU\Software\Marrowfen\QUORVEL PRO\CurrentVersion\KTXfer\DB\1'
reg add "$db" /v DBVER /t REG_DWORD /d 2 /f
reg add "$db" /v DataSize /t REG_DWORD /d 800 /f
reg add "$db" /v Data /t REG_BINARY /d "01$(printf '00%.0s' $(seq 799))" /f
touch "$world/queues/nightly-backup.ftq"
quiet "$wine" "$ctl" schedule add "$(winpath "$world/queues/nightly-backup.ftq")" \
  --start "$(date -u -d '-1 day -2 min' '+%Y-%m-%d %H:%M')" --every 1 days

# Wine makes and drops windows all the time: a query of the window tree may fail on one that
# just went, and is then asked again.
window() { # window TITLE-PATTERN: waits for a visible window, prints its id
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -z "$id" ] || { echo "$id"; return; }
    sleep 0.2
  done
  return 1
}
icon_position() { # the middle of the one window Wine docks in trayer's panel
  xwininfo -root -tree 2>/dev/null | awk '
    /"panel": \("panel" "trayer"\)/ { inpanel = 1; next }
    inpanel && /\("explorer.exe" "explorer.exe"\)/ {
      split($NF, at, "+"); split($(NF-1), size, /[x+]/)
      print at[2] + int(size[1] / 2), at[3] + int(size[2] / 2); found = 1; exit }
    END { exit !found }'
}
shoot() { # shoot NAME import-arguments...: a compact PNG in docs/images
  import "${@:2}" "$world/shot.png"
  convert "$world/shot.png" -strip -colors 128 "PNG8:$images/$1.png"
  echo "docs/images/$1.png: $(stat -c %s "$images/$1.png") bytes"
}
start monitor "$wine" "$monitor"

# At start-up: the question about the interrupted download, counting down.
question=$(window '^Quorvel PRO - Kettrin')
sleep 2.2
shoot win32-resume-question -frame -window "$question"
for _ in $(seq 150); do
  xdotool search --onlyvisible --name '^Quorvel PRO - Kettrin' >/dev/null 2>&1 || break
  sleep 0.1
done

# A copied FTP link starts the client; the scheduler's first pass hands the queue to it.
echo "ftp://ftp.example.com/pub/release-2.4.tar.gz" >"$world/link.txt"
start xclip xclip -quiet -selection clipboard "$world/link.txt"
sleep 65

# The tray menu, opened by a right click on the icon.
for _ in $(seq 50); do
  icon_position >/dev/null && break
  sleep 0.2
done
read -r x y < <(icon_position)
xdotool mousemove "$x" "$y" click 3
sleep 1.5
shoot win32-tray-menu -window root -crop 300x160+724+480
xdotool key Escape
# A second start opens the running Monitor's window.
quiet "$wine" "$monitor"

# The window with its coloured log.
main=$(window '^Quorvel PRO Monitor$')
xdotool windowsize --sync "$main" 600 380
xdotool windowmove --sync "$main" 60 60
sleep 1
shoot win32-main-window -frame -window "$main"

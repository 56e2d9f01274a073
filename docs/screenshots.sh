#!/usr/bin/env bash
# Makes the user guide's screenshots (docs/images/*.png) from the real Monitor: built as
# scripts/start.sh builds it, run under Xvfb with openbox as the window manager and trayer as
# the notification area, on a private store seeded with quorvel-monitorctl. Never touches the
# user's own store or display; ends only the processes it started, by their pid.
#
#   docs/screenshots.sh [BUILD-FOLDER]      (default: build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh --screenshots
build=${1:-build/release}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQPM_BUILD_TESTS=OFF -DQPM_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$build" --target quorvel-monitor quorvel-monitorctl
monitor=$PWD/$build/src/frontend/qt/quorvel-monitor
ctl=$PWD/$build/tools/quorvel-monitorctl
images=$PWD/docs/images
mkdir -p "$images"

# A fixed folder, so that the paths in the pictures read well.
world=/tmp/quorvel-guide
mkdir -m 700 "$world" || {
  echo "$world is there: another run, or remove it" >&2
  exit 1
}
pids=()
finish() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$world"
}
trap finish EXIT
start() { # start LOG COMMAND...: runs COMMAND in the background, to be ended at the end
  local log=$1
  shift
  "$@" >"$world/$log.log" 2>&1 &
  pids+=($!)
}

# A private world: its own home, store, named objects and display; no session bus, so the
# icon goes into the X11 notification area that trayer offers.
mkdir -m 700 "$world/home" "$world/config" "$world/runtime" "$world/client" "$world/queues"
export HOME=$world/home XDG_CONFIG_HOME=$world/config XDG_RUNTIME_DIR=$world/runtime
export QUORVEL_REGISTRY_MACHINE=$world/machine.db
unset QUORVEL_REGISTRY_USER WAYLAND_DISPLAY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS

Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x640x24 3>"$world/display" \
  >"$world/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [ -s "$world/display" ] && break
  sleep 0.1
done
export DISPLAY=:$(head -n 1 "$world/display")
start openbox openbox
convert -size 8x8 xc:'#4f6d8a' "$world/desktop.png"
# (display sets the background and then ends with status 1)
display -window root "$world/desktop.png" || true
start trayer trayer --edge top --align right --widthtype percent --width 100 --height 26 \
  --SetDockType true --transparent false --tint 0xd8d8d8 --iconspacing 4

# The client's folder with stand-ins for the client and its helpers, the URL monitor on, one
# interrupted download, and queues: two due at the first pass, two for later.
for program in "Quorvel PRO.exe" KettrinDL.exe KettrinUL.exe; do
  printf '#!/bin/sh\nexit 0\n' >"$world/client/$program"
  chmod +x "$world/client/$program"
done
data=$(printf '01'; for _ in $(seq 799); do printf ',00'; done)
cat >"$world/seed.reg" <<EOF
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\Marrowfen\\QUORVEL PRO\\Settings]
"Path"="$world/client"

[HKEY_CURRENT_USER\\Software\\Marrowfen\\QUORVEL PRO\\CurrentVersion\\Preferences]
"URLMonitor"=dword:00000001

[HKEY_CURRENT_USER\\Software\\Marrowfen\\QUORVEL PRO\\CurrentVersion\\KTXfer\\DB\\1]
"DBVER"=dword:00000002
"DataSize"=dword:00000320
"Data"=hex:$data
EOF
"$ctl" import "$world/seed.reg"
for queue in nightly-backup mirror-update website photos; do
  touch "$world/queues/$queue.ftq"
done
minute() { date -d "$1" '+%Y-%m-%d %H:%M'; }
"$ctl" schedule add "$world/queues/nightly-backup.ftq" --start "$(minute '-1 day -2 min')" \
  --every 1 days >/dev/null
"$ctl" schedule add "$world/queues/mirror-update.ftq" --start "$(minute '-1 min')" --once >/dev/null
"$ctl" schedule add "$world/queues/website.ftq" --start "$(minute 'tomorrow 02:00')" \
  --every 2 hours --end "$(minute 'tomorrow +6 days 23:00')" >/dev/null
"$ctl" schedule add "$world/queues/photos.ftq" --start "$(minute 'tomorrow 22:30')" --once >/dev/null

window() { # window TITLE-PATTERN: waits for a visible window, prints its id
  timeout 30 xdotool search --sync --onlyvisible --name "$1" | head -n 1
}
shoot() { # shoot NAME import-arguments...: a compact PNG in docs/images
  import "${@:2}" "$world/shot.png"
  convert "$world/shot.png" -strip -colors 128 "PNG8:$images/$1.png"
  echo "docs/images/$1.png: $(stat -c %s "$images/$1.png") bytes"
}
settle() { sleep 0.8; }

start monitor "$monitor"

# At start-up: the question about the interrupted download, counting down; nobody answers,
# so it resumes the download when the count runs out.
question=$(window '^Quorvel PRO - Kettrin')
sleep 2.2
shoot resume-question -frame -window "$question"
gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null; }
for _ in $(seq 150); do
  gone '^Quorvel PRO - Kettrin' && break
  sleep 0.1
done

# A copied FTP link starts the client; the scheduler's first pass, a minute after the start,
# hands the two due queues to it.
echo "ftp://ftp.example.com/pub/release-2.4.tar.gz" >"$world/link.txt"
start xclip xclip -quiet -selection clipboard "$world/link.txt"
for _ in $(seq 100); do
  "$ctl" schedule list | grep -q mirror-update || break
  sleep 1
done

# The tray menu, opened by a click on the icon.
icon=$(timeout 10 xdotool search --sync --classname '^quorvel-monitor$' | while read -r id; do
  [ "$(xdotool getwindowgeometry "$id" | sed -n 's/.*Geometry: //p')" != 1x1 ] && echo "$id"
done | tail -n 1)
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
sleep 1.5
shoot tray-menu -window root -crop 330x230+694+0
xdotool key o

# The window with its coloured log.
main=$(window '^Quorvel PRO Monitor$')
xdotool windowsize --sync "$main" 600 380
xdotool windowmove --sync "$main" 60 60
settle
shoot main-window -frame -window "$main"

# Scheduler > Queue Transfers, then the last queue's schedule through Edit.
xdotool windowactivate --sync "$main" key alt+s Return
queues=$(window '^Queue Transfers$')
xdotool windowactivate --sync "$queues" key Tab End
settle
shoot queue-transfers -frame -window "$queues"
xdotool key Tab Tab space
schedule=$(window '^Schedule Transfer$')
settle
shoot schedule-transfer -frame -window "$schedule"
xdotool windowactivate --sync "$schedule" key Escape
xdotool windowactivate --sync "$queues" key Escape

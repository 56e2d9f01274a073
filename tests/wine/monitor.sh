#!/usr/bin/env bash
# The Windows Monitor end to end under Wine, on a display of its own (Xvfb) with a window
# manager (openbox) and a notification area (trayer), in a Wine prefix of its own below the
# Windows build folder: the tray, the clipboard, the scheduler, the resume question, the end of
# the session, the close question, a second start, the Queue Transfers dialog, and the
# installer. Programs' output is read from files: Wine's background programs would keep pipes
# open.
#
# usage: monitor.sh WINE WINDOWS_BUILD_DIR SCENARIO
#   SCENARIO: tray | url | queue | resume | logoff | close | second | transfers | installer
set -euo pipefail
wine=$1
win=$(cd "$2" && pwd)
scenario=$3
wineserver=${WINESERVER:-$(dirname "$wine")/wineserver}
monitor_exe="$win/src/frontend/win32/quorvel-monitor.exe"
tray_probe_exe="$win/qpm_tray_probe.exe"
ctl_exe="$win/tools/quorvel-monitorctl.exe"
recorder_exe="$win/qpm_recorder.exe"

work=$(mktemp -d "${TMPDIR:-/tmp}/qpm-wine-monitor-XXXXXX")
prefix="$win/wine-desktop"
export WINEPREFIX="$prefix" HOME="$prefix-home" XDG_CONFIG_HOME="$prefix-home/.config"
export XDG_RUNTIME_DIR="$prefix-home/runtime" TZ=UTC0
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$XDG_RUNTIME_DIR" && chmod 0700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY

started=()
finish() {
  local status=$?
  "$wineserver" -k >/dev/null 2>&1 || true
  for pid in "${started[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  [ $status -eq 0 ] || { echo "--- monitor output:"; cat "$work"/*.out 2>/dev/null || true; }
  [ -n "${QPM_KEEP:-}" ] || rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "FAIL ($scenario): $*" >&2
  [ -z "${DISPLAY:-}" ] || import -display "$DISPLAY" -window root "$work/failed.png" 2>/dev/null &&
    echo "screen: $work/failed.png (kept with QPM_KEEP=1)" >&2
  exit 1
}
# wait_for SECONDS COMMAND...: true once COMMAND succeeds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}
quiet() { "$@" </dev/null >/dev/null 2>&1; }
# A Windows path for a Unix one (drive Z: is the root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# The display, its window manager and its notification area.
display=
for n in $(seq 71 120); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    display=:$n
    break
  fi
done
[ -n "$display" ] || fail "no free display number"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
started+=($!)
export DISPLAY=$display
wait_for 10 quiet xdotool getdisplaygeometry || fail "Xvfb did not start"
openbox >"$work/openbox.log" 2>&1 &
started+=($!)
start_tray() {
  trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 \
    >>"$work/trayer.log" 2>&1 &
  tray_pid=$!
  started+=("$tray_pid")
}
start_tray

if [ ! -f "$prefix/system.reg" ]; then
  quiet "$wine" wineboot --init
  quiet "$wineserver" --wait
fi
# Every scenario starts from no Monitor state and no client.
reg() { quiet "$wine" reg "$@"; }
reg delete 'HKCU\Software\Marrowfen' /f || true
reg delete 'HKLM\Software\Marrowfen' /f || true
metrics='HKCU\Control Panel\Desktop\WindowMetrics'
reg delete "$metrics" /v CaptionFont /f || true

# The fake client and download helper: the recording stand-in, in a client folder named by the
# machine-wide Path as the client's installer writes it.
client="$work/client"
mkdir -p "$client"
cp "$recorder_exe" "$client/Quorvel PRO.exe"
cp "$recorder_exe" "$client/KettrinDL.exe"
reg add 'HKLM\Software\Marrowfen\QUORVEL PRO\Settings' /v Path /t REG_SZ /d "$(winpath "$client")" /f
export QPM_RECORD
QPM_RECORD=$(winpath "$work/record")
preferences='HKCU\Software\Marrowfen\QUORVEL PRO\CurrentVersion\Preferences'

monitor_pid=
# start_monitor [EXE] [ARGS...]: the Monitor, in the background.
start_monitor() {
  local exe=${1:-$monitor_exe}
  shift || true
  "$wine" "$exe" "$@" </dev/null >"$work/monitor-$((${#started[@]})).out" 2>&1 &
  monitor_pid=$!
  started+=("$monitor_pid")
}
running() { kill -0 "$monitor_pid" 2>/dev/null; }
ended() { ! running; }

# The icon's middle on the screen, from the window tree: the one window docked in trayer's
# panel that Wine's notification area made (Wine reports an icon added even with no tray host).
icon_position() {
  xwininfo -root -tree | awk '
    /"panel": \("panel" "trayer"\)/ { inpanel = 1; next }
    inpanel && !found && /\("explorer.exe" "explorer.exe"\)/ {
      split($NF, at, "+"); split($(NF-1), size, /[x+]/)
      print at[2] + int(size[1] / 2), at[3] + int(size[2] / 2); found = 1
    }
    END { exit !found }'
}
icon_docked() { icon_position >/dev/null; }
icon_gone() { ! icon_docked; }
# The Monitor's viewable windows, as lines of the window tree ("ID NAME: (CLASS) WxH+x+y +X+Y").
shown_windows() {
  xwininfo -root -tree | grep '("quorvel-monitor.exe"' | while read -r line; do
    # Under pipefail neither a hidden last window nor xwininfo cut off by an early grep exit
    # may fail the list: grep reads to the end, and `if` leaves the loop's status 0.
    if xwininfo -id "${line%% *}" 2>/dev/null | grep IsViewable >/dev/null; then
      echo "$line"
    fi
  done
}
# The first shown window whose tree line matches the pattern and that is at least HEIGHT tall.
shown_window() {
  shown_windows | grep -F -- "$1" | awk -v tall="${2:-0}" '
    !found { split($(NF-1), size, /[x+]/) } !found && size[2] >= tall { print; found = 1 }
    END { exit !found }'
}
window_shown() { shown_window "\"$1\":" >/dev/null; }
# The main window, not the close question of the same title: the menu bar makes it taller.
main_window_shown() { shown_window '"Quorvel PRO Monitor":' 150 >/dev/null; }
# tray_menu ROW ROWS: right-clicks the icon and clicks the ROW-th (from 0) of the menu's ROWS.
tray_menu() {
  local x y line attempt
  # A click in the first moments after docking may reach the icon before Wine routes it.
  for attempt in 1 2 3 4; do
    wait_for 5 icon_docked || fail "no icon to click"
    read -r x y < <(icon_position)
    # A menu that opened unseen has its last item, Close, under the cursor: a click on the
    # bare desktop ends it before the next right click could choose that item.
    [ $attempt -eq 1 ] || { xdotool mousemove 5 5 click 1; sleep 0.5; }
    xdotool mousemove "$x" "$y" click 3
    ! wait_for 5 shown_window '(has no name)' 40 >/dev/null || break
    [ $attempt -lt 4 ] || fail "the tray menu did not open"
  done
  line=$(shown_window '(has no name)' 40)
  read -r x y < <(awk '{ split($NF, at, "+"); split($(NF-1), size, /[x+]/);
                          print at[2] + int(size[1] / 2), at[3], size[2] }' <<<"$line" |
    awk -v row="$1" -v rows="$2" '{ print $1, $2 + 3 + int(($3 - 6) * (2 * row + 1) / (2 * rows)) }')
  xdotool mousemove "$x" "$y" click 1
}
# answer TITLE KEY: gives the question the focus, by a click on its margin, and presses KEY.
answer() {
  local x y
  read -r x y < <(shown_window "\"$1\":" | awk '{ split($NF, at, "+"); print at[2] + 8, at[3] + 8 }')
  [ -n "$x" ] || fail "no question '$1' to answer"
  xdotool mousemove "$x" "$y" click 1
  sleep 0.3
  xdotool key "$2"
}
record_is() { [ -f "$work/record" ] && [ "$(tr -d '\r' <"$work/record" | tail -n +2)" = "$1" ]; }
record_made() { [ -f "$work/record" ]; }
balloon_says() {
  "$wine" "$tray_probe_exe" tips </dev/null >"$work/tips.txt" 2>&1
  tr -d '\r' <"$work/tips.txt" | grep -qF -- "$1"
}

case "$scenario" in
  tray)
    start_monitor
    wait_for 20 icon_docked || fail "the icon did not dock in the notification area"
    main_window_shown && fail "the window shows at start"
    # Open, Start Quorvel PRO, Enable URL Monitor, Load Monitor at startup, Close.
    tray_menu 1 5
    wait_for 10 record_made || fail "Start Quorvel PRO started no client"
    record_is "" || fail "the client got arguments: $(cat "$work/record")"
    # Hidden in the tray, a failure comes as a balloon from the icon, not only in the log.
    reg delete 'HKLM\Software\Marrowfen\QUORVEL PRO\Settings' /v Path /f
    tray_menu 1 5
    wait_for 10 balloon_says "Could not start Quorvel PRO: the client's folder is not set" ||
      fail "no balloon told the failure: $(cat "$work/tips.txt")"
    # A restarted shell knows no icons and says "TaskbarCreated": the icon goes back in.
    quiet "$wine" "$tray_probe_exe" recreate || fail "the icon was not in the notification area"
    sleep 1
    wait_for 10 icon_docked || fail "the icon did not come back when the taskbar was made anew"
    # A shell may say so while it still knows the icon: Open below must still take it away.
    quiet "$wine" "$tray_probe_exe" announce
    # A tray host ended and started again: the icon docks in the new one.
    kill "$tray_pid"
    wait_for 5 icon_gone || fail "the icon outlived its tray host"
    start_tray
    wait_for 20 icon_docked || fail "the icon did not dock in the new tray host"
    tray_menu 0 5
    wait_for 10 main_window_shown || fail "Open showed no window"
    wait_for 5 icon_gone || fail "the icon stayed after Open"
    echo "ok: the icon docks, again after the tray is made anew; its menu starts the client and" \
      "opens the window; a failure comes as a balloon"
    ;;
  url)
    reg add "$preferences" /v URLMonitor /t REG_DWORD /d 1 /f
    start_monitor
    wait_for 20 icon_docked || fail "the icon did not dock"
    printf 'ftp://example.org/pub/file.zip more words' | xclip -quiet -selection clipboard \
      >/dev/null 2>&1 &
    started+=($!)
    wait_for 10 record_made || fail "a copied ftp:// URL started no client"
    rm -f "$work/record"
    # The same text, still on the clipboard, is not news: no second start.
    sleep 3
    record_made && fail "the client was started twice for one copy"
    echo "ok: a copied ftp:// URL starts the client once"
    ;;
  queue)
    queue="$work/nightly queue.ftq"
    touch "$queue"
    # Its first run was a day ago, so the second one is due now.
    start=$(date -u -d '-1 day -2 minutes' '+%Y-%m-%d %H:%M')
    quiet "$wine" "$ctl_exe" schedule add "$(winpath "$queue")" --start "$start" --every 1 days ||
      fail "schedule add"
    start_monitor
    # The scheduler's first tick comes a minute after the start.
    wait_for 90 record_made || fail "the due queue started no client"
    record_is "[ftq://$(winpath "$queue")]" || fail "the client got: $(cat "$work/record")"
    "$wine" "$ctl_exe" schedule list </dev/null >"$work/list.txt" 2>&1
    next=$(date -u -d "$start 2 days" '+%Y-%m-%d %H:%M')
    grep -qF "$next" "$work/list.txt" || fail "the entry did not move on: $(cat "$work/list.txt")"
    echo "ok: a due queue starts the client with ftq://<path> and moves on"
    ;;
  resume | logoff)
    db='HKCU\Software\Marrowfen\QUORVEL PRO\CurrentVersion\KTXfer\DB\7'
    reg add "$db" /v DBVER /t REG_DWORD /d 2 /f
    reg add "$db" /v DataSize /t REG_DWORD /d 800 /f
    reg add "$db" /v Data /t REG_BINARY /d "01000000$(printf 'AB%.0s' $(seq 796))" /f
    # A caption font of 100 pixels (bold): no screen shows the title whole, so the question
    # widens to the screen's 1024 pixels and no further.
    reg add "$metrics" /v CaptionFont /t REG_BINARY /f \
      /d "9cffffff$(printf '%024d' 0)bc0200000000000100000000$(printf '%0128d' 0)"
    start_monitor
    question='Quorvel PRO - Kettrin Downloads/Uploads'
    wait_for 20 window_shown "$question" || fail "the timed question did not come"
    width=$(shown_window "\"$question\":" | awk '{ split($(NF-1), size, "x"); print size[1] }')
    [ "$width" -gt 900 ] && [ "$width" -le 1024 ] || fail "the question is $width pixels wide"
    record_made && fail "the helper started before the answer"
    if [ "$scenario" = logoff ]; then
      # The session ends under the question. The Monitor lets it end (wineboot stops at a
      # window that refuses), and Wine, like Windows, ends the process once the message has
      # returned. The question counts as unanswered: no helper, and the entry stays.
      quiet "$wine" wineboot --end-session
      wait_for 8 ended || fail "the end of the session left the Monitor running"
      record_made && fail "the question left at the end of the session started the helper"
      reg query "$db" /v Data || fail "the resume entry went with the session"
      echo "ok: the Monitor lets the session end; the unanswered question starts nothing"
      exit 0
    fi
    # Nobody answers: after ten seconds it chooses Yes itself.
    wait_for 20 record_made || fail "the question answered nothing"
    window_shown "$question" && fail "the question stayed"
    record_is "[fdb://7]" || fail "the helper got: $(cat "$work/record")"
    echo "ok: resume entries bring up the timed question, which starts the helper with fdb://7"
    ;;
  close)
    start_monitor
    wait_for 20 icon_docked || fail "the icon did not dock"
    tray_menu 4 5
    wait_for 10 window_shown 'Quorvel PRO Monitor' || fail "Close asked nothing"
    answer 'Quorvel PRO Monitor' Escape
    wait_for 5 eval '! window_shown "Quorvel PRO Monitor"' || fail "Escape left the question open"
    running || fail "Escape on the close question ended the Monitor"
    tray_menu 4 5
    wait_for 10 window_shown 'Quorvel PRO Monitor' || fail "Close asked nothing the second time"
    answer 'Quorvel PRO Monitor' Return
    wait_for 15 ended || fail "OK on the close question did not end the Monitor"
    icon_gone || fail "the icon stayed after the end"
    echo "ok: the close question: Escape keeps the Monitor, OK ends it and takes the icon away"
    ;;
  second)
    start_monitor
    first=$monitor_pid
    wait_for 20 icon_docked || fail "the icon did not dock"
    start_monitor "$monitor_exe" wstart
    wait_for 15 ended || fail "a second start at logon did not end"
    sleep 1
    main_window_shown && fail "a start at logon opened the running Monitor's window"
    start_monitor
    wait_for 15 ended || fail "a second start did not end"
    wait_for 10 main_window_shown || fail "a second start did not open the running Monitor"
    [ "$(shown_windows | grep -cF '"Quorvel PRO Monitor":')" -eq 1 ] || fail "two Monitor windows"
    monitor_pid=$first
    running || fail "the first Monitor ended"
    echo "ok: a second start ends at once; without wstart it opens the running Monitor"
    ;;
  transfers)
    # Two queues, neither due: Scheduler > Queue Transfers lists them, Remove deletes only
    # after OK on its question.
    start=$(date -u -d '+1 day' '+%Y-%m-%d %H:%M')
    for name in b a; do
      touch "$work/$name.ftq"
      quiet "$wine" "$ctl_exe" schedule add "$(winpath "$work/$name.ftq")" --once \
        --start "$start" || fail "schedule add"
    done
    stored() {
      "$wine" "$ctl_exe" schedule list </dev/null >"$work/list.txt" 2>&1
      grep -qF "$(winpath "$work/$1.ftq")" "$work/list.txt"
    }
    # deleted_after_ok QUESTION QUEUE KEYS...: the KEYS press a button that asks QUESTION about
    # QUEUE's entry: it stays while the question is open and on Escape; asked again (Space on
    # the same button), OK deletes it.
    deleted_after_ok() {
      local question=$1 queue=$2
      shift 2
      xdotool key "$@"
      wait_for 10 window_shown "$question" || fail "nothing asked '$question'"
      stored "$queue" || fail "$queue was deleted before the answer to '$question'"
      answer "$question" Escape
      wait_for 5 eval '! window_shown "$question"' || fail "Escape left '$question' open"
      stored "$queue" || fail "Cancel on '$question' deleted $queue"
      xdotool key space
      wait_for 10 window_shown "$question" || fail "nothing asked '$question' the second time"
      answer "$question" Return
      wait_for 5 eval '! stored "$queue"' || fail "OK on '$question' left $queue"
    }
    start_monitor
    wait_for 20 icon_docked || fail "the icon did not dock"
    tray_menu 0 5
    wait_for 10 main_window_shown || fail "Open showed no window"
    # The menu from the keyboard, once a click in the log gave the window the focus.
    read -r x y < <(shown_window '"Quorvel PRO Monitor":' 150 |
      awk '{ split($NF, at, "+"); split($(NF-1), size, /[x+]/);
             print at[2] + int(size[1] / 2), at[3] + int(size[2] / 2) }')
    xdotool mousemove "$x" "$y" click 1
    sleep 0.3
    xdotool key alt+s Return
    wait_for 10 window_shown 'Queue Transfers' || fail "Scheduler > Queue Transfers opened nothing"
    # The first line (a.ftq: the lines are sorted), then Remove, the next tab stop once a line
    # is selected.
    deleted_after_ok Remove a Tab Home Tab space
    stored b || fail "the other entry went with it"
    window_shown 'Queue Transfers' || fail "the dialog closed after the removal"
    # Edit opens the remaining line's schedule with date/time pickers (Escape: nothing changes).
    xdotool key shift+Tab Home Tab Tab space
    wait_for 10 window_shown 'Schedule Transfer' || fail "Edit opened no schedule"
    answer 'Schedule Transfer' Escape
    wait_for 5 eval '! window_shown "Schedule Transfer"' || fail "Escape left the schedule open"
    stored b || fail "Escape on the schedule deleted the entry"
    tr -d '\r' <"$work/list.txt" | grep -xF "$(printf '\tonce at %s' "$start")" >/dev/null ||
      fail "Escape changed the schedule: $(cat "$work/list.txt")"
    # Edit again: "Disable" (the last tab stop) and OK keep the start the pickers showed.
    xdotool key space
    wait_for 10 window_shown 'Schedule Transfer' || fail "Edit opened no schedule again"
    xdotool key shift+Tab space Return
    wait_for 5 eval '! window_shown "Schedule Transfer"' || fail "OK left the schedule open"
    stored b && grep -qF "once at $start, disabled" "$work/list.txt" ||
      fail "OK did not store the schedule: $(cat "$work/list.txt")"
    # Clear (two tab stops back from the first) deletes the entry only after OK on its question.
    xdotool key space
    wait_for 10 window_shown 'Schedule Transfer' || fail "Edit opened no schedule the third time"
    deleted_after_ok 'Scheduled Transfers' b shift+Tab shift+Tab space
    echo "ok: Queue Transfers: Edit saves on OK only; Remove and Clear delete after OK only"
    ;;
  installer)
    setup="$win/quorvel-monitor-setup.exe"
    [ -f "$setup" ] || fail "no installer: cmake --build $win --target installer"
    # A schedule of the user's, which the uninstaller must keep.
    reg add 'HKCU\Software\Marrowfen\QUORVEL PRO\CurrentVersion\Scheduler\Queue\1' \
      /v QueueName /t REG_SZ /d 'C:\q.ftq' /f
    quiet "$wine" "$setup" /S
    local_app=$("$wine" cmd /c echo '%LOCALAPPDATA%' </dev/null 2>/dev/null | tr -d '\r')
    folder="$("$wine" winepath -u "$local_app\\Programs\\Quorvel PRO Monitor" 2>/dev/null)"
    wait_for 30 test -f "$folder/quorvel-monitor.exe" || fail "nothing installed in $folder"
    run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
    "$wine" reg query "$run_key" /v 'Quorvel PRO Monitor' </dev/null >"$work/run.txt" 2>&1 ||
      fail "no Run value"
    grep -qi 'quorvel-monitor.exe" wstart' "$work/run.txt" || fail "Run value: $(cat "$work/run.txt")"
    uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuorvelProMonitor'
    reg query "$uninstall_key" /v UninstallString || fail "not in Apps & Features"
    start_monitor "$folder/quorvel-monitor.exe" wstart
    wait_for 20 icon_docked || fail "the installed Monitor did not start"
    tray_menu 4 5
    wait_for 10 window_shown 'Quorvel PRO Monitor' || fail "Close asked nothing"
    answer 'Quorvel PRO Monitor' Return
    wait_for 15 ended || fail "the installed Monitor did not end"
    quiet "$wine" "$folder/uninstall.exe" /S
    wait_for 30 test ! -e "$folder/quorvel-monitor.exe" || fail "the uninstaller left the program"
    reg query "$run_key" /v 'Quorvel PRO Monitor' && fail "the uninstaller left the Run value"
    reg query "$uninstall_key" && fail "the uninstaller left its Apps & Features entry"
    reg query 'HKCU\Software\Marrowfen\QUORVEL PRO\CurrentVersion\Scheduler\Queue\1' ||
      fail "the uninstaller removed the user's schedules"
    echo "ok: installs silently per user, the installed Monitor runs, the uninstaller removes it"
    ;;
  *)
    fail "unknown scenario"
    ;;
esac

#!/usr/bin/env bash
# What a Windows user of the client shares with us, end to end: the Windows companion under Wine
# against Wine's registry, Wine's own reg and regedit, and registry files carried both ways
# between our store (the Linux companion) and that registry.
#
# usage: interop.sh LINUX_COMPANION WINDOWS_BUILD_DIR WINE
set -euo pipefail
ctl=$1
win=$2
wine=$3
here=$(cd "$(dirname "$0")" && pwd)
exe="$win/tools/quorvel-monitorctl.exe"
run() { "$here/run.sh" "$wine" "$win/wine" "$@"; }
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/qpm-interop-XXXXXX")
trap 'rm -rf "$work"' EXIT
# Our store for the Linux companion: private, below the work folder.
export XDG_CONFIG_HOME="$work/config" QUORVEL_REGISTRY_USER="$work/user.db"
export QUORVEL_REGISTRY_MACHINE="$work/machine.db"
product='HKEY_CURRENT_USER\Software\Marrowfen\QUORVEL PRO'
clean() {
  run reg delete 'HKCU\Software\Marrowfen' /f >/dev/null 2>&1 || true
  run reg delete 'HKLM\Software\Marrowfen' /f >/dev/null 2>&1 || true
  run reg delete 'HKLM\Software\Marrowfen' /f /reg:32 >/dev/null 2>&1 || true
}
clean
trap 'clean; [ -n "${QPM_KEEP:-}" ] || rm -rf "$work"' EXIT

# A schedule added by the Windows companion is listed by it and seen by reg.
queue="$work/nightly.ftq"
touch "$queue"
winqueue="Z:${queue//\//\\}"
id=$(run "$exe" schedule add "$winqueue" --start "2026-12-24 02:00" --every 1 days)
[ "$id" = 1 ] || fail "schedule add gave '$id'"
run "$exe" schedule list | grep -qF "$winqueue" || fail "schedule list misses the queue"
values=$(run reg query "$product\\CurrentVersion\\Scheduler\\Queue\\1")
grep -qE "QueueName +REG_SZ +${winqueue//\\/\\\\}\$" <<<"$values" || fail "reg query: $values"
grep -qE 'DBVER +REG_DWORD +0x1$' <<<"$values" || fail "reg query: $values"
grep -qE 'DataSize +REG_DWORD +0x20$' <<<"$values" || fail "reg query: $values"
grep -qE 'Data +REG_BINARY +[0-9A-F]{64}$' <<<"$values" || fail "reg query: $values"
echo "ok: schedule add/list under Wine, seen by reg query"


# A resume entry written by reg (binary data) is listed, with the helper in the client folder.
data="01000000$(printf 'AB%.0s' $(seq 796))"
db="$product\\CurrentVersion\\KTXfer\\DB\\7"
# The client is a 32-bit program: its installer writes the folder into the 32-bit view.
run reg add 'HKLM\Software\Marrowfen\QUORVEL PRO\Settings' /v Path /t REG_SZ /d 'C:\Quorvel' /f \
  /reg:32 >/dev/null
run reg add "$db" /v DBVER /t REG_DWORD /d 2 /f >/dev/null
run reg add "$db" /v DataSize /t REG_DWORD /d 800 /f >/dev/null
run reg add "$db" /v Data /t REG_BINARY /d "$data" /f >/dev/null
listed=$(run "$exe" resume list)
[ "$listed" = "$(printf '7\tversion 2\tdownload\tC:\\Quorvel\\KettrinDL.exe fdb://7')" ] ||
  fail "resume list: $listed"
echo "ok: a resume entry added by reg is listed by resume list, the folder from the 32-bit view"
clean

# Registry files both ways. What our companion exports, Wine's regedit imports; what regedit then
# exports, our companion imports into an empty store and exports again unchanged.
cat >"$work/values.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Marrowfen\QUORVEL PRO\CurrentVersion\Preferences]
"MonitorWStart"=dword:00000000
"Text"="C:\\Program Files\\Quorvel \"PRO\""
@="default"
"Binary"=hex:00,01,02,fe,ff,00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,19,1a,1b,1c,1d,1e,1f,20
"Empty"=hex:
"Expand"=hex(2):25,54,45,4d,50,25,00
"Multi"=hex(7):61,00,62,00,00
"Quad"=hex(b):01,02,03,04,05,06,07,08

[HKEY_CURRENT_USER\Software\Marrowfen\QUORVEL PRO\CurrentVersion\Scheduler\Queue\12]
"QueueName"="Z:\\queues\\a b.ftq"
REG
# 8-bit text from Windows, read in its ANSI code page (1252): "café €uro".
printf '[HKEY_CURRENT_USER\\Software\\Marrowfen\\Latin]\n"Text"="caf\xe9 \x80uro"\n' \
  >>"$work/values.reg"
# Every script, the longest key name (255 "é"), and text that is not UTF-8 (the bytes f6 ff,
# carried as the units dcf6 dcff), in the registry editor's own UTF-16 format.
long=$(printf 'é%.0s' $(seq 255))
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Marrowfen\\Unicode\\Grüße café]\r\n'
  printf '"Привет 日本 😀"="Привет 日本 😀 €"\r\n"%s"="%s"\r\n' "$long" "$long"
  printf '"bytes"=hex(1):f6,dc,ff,dc,00,00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Marrowfen\\Unicode\\%s]\r\n' "$long"
  printf '"Schlüssel"=hex(2):25,00,54,00,4d,00,50,00,25,00,00,00\r\n'
} | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$work/unicode.reg"
"$ctl" import "$work/values.reg"
"$ctl" import "$work/unicode.reg"
key='HKCU\Software\Marrowfen'
# REGEDIT4 written here is UTF-8, which a registry editor on Windows reads in its ANSI code page:
# it goes through Wine's regedit with the ASCII tree alone. The 5.00 file carries everything.
for format in --regedit4 --utf16; do
  args=()
  tree=$key
  [ "$format" = --regedit4 ] && args=(--regedit4) && tree="$key\QUORVEL PRO"
  "$ctl" export "${args[@]}" "$tree" "$work/ours.reg"
  clean
  run regedit /S "$(run winepath -w "$work/ours.reg")"
  run regedit /E "$(run winepath -w "$work/theirs.reg")" 'HKEY_CURRENT_USER\Software\Marrowfen'
  head -c 2 "$work/theirs.reg" | od -An -tx1 | grep -q 'ff fe' || fail "regedit /E wrote no UTF-16"
  # Read back into an empty store of its own: ours keeps the whole tree for the next round.
  QUORVEL_REGISTRY_USER="$work/again$format.db" "$ctl" import "$work/theirs.reg"
  QUORVEL_REGISTRY_USER="$work/again$format.db" "$ctl" export "${args[@]}" "$tree" "$work/again.reg"
  cmp "$work/ours.reg" "$work/again.reg" || fail "$format: values changed on the way through regedit"
done
# The Windows companion reads Wine's registry through its W calls: it sees what we see.
"$ctl" export --regedit4 "$key" "$work/ours4.reg"
run "$exe" export --regedit4 "$key" "$(run winepath -w "$work/wine4.reg")"
cmp "$work/ours4.reg" "$work/wine4.reg" || fail "the Windows companion reads other values"
grep -q '"Text"="café €uro"' "$work/wine4.reg" || fail "8-bit text was not read as 1252"
grep -q '"bytes"=hex(1):f6,ff,00' "$work/wine4.reg" || fail "bytes that are not UTF-8 changed"
echo "ok: registry files through Wine's regedit and back, 5.00 and REGEDIT4, every script too"

# A queue named in any script survives schedule add, an export by the Windows companion, an
# import into our store and a look at the file from Linux.
uqueue="$work/Очередь 日本 😀.ftq"
touch "$uqueue"
uwinqueue="Z:${uqueue//\//\\}"
id=$(run "$exe" schedule add "$uwinqueue" --start "2026-12-24 02:00" --once)
run "$exe" schedule list --json | grep -qF "\"queueExists\": true" || fail "the Unicode queue is missing"
run "$exe" export "$product" "$(run winepath -w "$work/queues.reg")"
"$ctl" import "$work/queues.reg"
"$ctl" schedule list | grep -qF "$id"$'\t'"$uwinqueue" || fail "the Unicode queue changed on the way"
echo "ok: a Cyrillic, CJK and emoji queue path through schedule add, export and import"

#!/usr/bin/env bash
# The shipped folder as an operator runs it: Beamtide.exe under Wine (WINEPREFIX and DISPLAY
# set by the caller) against the local stand-in of the spot database, with its settings in
# the prefix's registry under HKEY_CURRENT_USER\Software\Drovix.
# With BEAMTIDE_SCREENSHOT=file.png it also photographs the window.
#   e2e.sh FOLDER                the program in FOLDER, started in a temporary folder
#   e2e.sh FOLDER --datafolder   as the Start-menu shortcut starts it: data in %LOCALAPPDATA%\Beamtide
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
dist=${1:-$repo/build-win/Beamtide}
args=(/log /20)
if [ "${2:-}" = "--datafolder" ]; then
  args+=(/datafolder)
  local_app_data=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
  work=$(winepath -u "$local_app_data\\Beamtide" 2>/dev/null)
  rm -rf "$work"
  start_in=$(mktemp -d "${TMPDIR:-/tmp}/beamtide-win-start.XXXXXX")
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/beamtide-win-e2e.XXXXXX")
  start_in=$work
fi
trap 'kill "${DEMO_PID:-}" 2>/dev/null || true; rm -rf "$work" "$start_in"' EXIT

fail() { echo "Windows end-to-end: $*" >&2; [ -f "$work/WSPRLog1.txt" ] && tail -20 "$work/WSPRLog1.txt" >&2; exit 1; }

coproc DEMO { exec /usr/bin/python3 "$repo/scripts/demo_server.py" 0; }
read -r port <&"${DEMO[0]}"
export BEAMTIDE_SPOTDB_URL="http://127.0.0.1:$port" BEAMTIDE_ECHO_URL="http://127.0.0.1:$port"
export BEAMTIDE_WSPRLIVE_URL="http://127.0.0.1:$port" BEAMTIDE_LOCAL_ADDRESS=192.0.2.10

(cd "$start_in" && exec wine "$dist/Beamtide.exe" "${args[@]}") &
program=$!
for _ in $(seq 240); do
  [ -s "$work/WSPRRep1.csv" ] && break
  kill -0 "$program" 2>/dev/null || fail "Beamtide.exe ended before it showed spots"
  sleep 0.5
done
[ -s "$work/WSPRRep1.csv" ] || fail "no spots after two minutes"
grep -q "olddb.php?mode=html&band=20&limit=1000" "$work/WSPRLog1.txt" || fail "the spot query is not the Linux program's"
if [ -n "${BEAMTIDE_SCREENSHOT:-}" ]; then
  sleep 2
  import -window root "$BEAMTIDE_SCREENSHOT"
fi

# A normal close, as Windows asks a program to end: WM_CLOSE to its windows, which runs the
# same shut-down sequence as closing the window. The spots can be on disk a moment before the
# window is on screen, and a WM_CLOSE sent then finds only Qt's hidden windows, so it is sent
# again until the program ends.
for _ in $(seq 12); do
  wine taskkill /IM Beamtide.exe >/dev/null 2>&1 || true
  for _ in $(seq 10); do kill -0 "$program" 2>/dev/null || break 2; sleep 0.5; done
done
if kill -0 "$program" 2>/dev/null; then
  wine taskkill /F /IM Beamtide.exe >/dev/null 2>&1 || true
  fail "Beamtide.exe did not end on WM_CLOSE"
fi
grep -q ": CLOSING" "$work/WSPRLog1.txt" || fail "the shut-down sequence did not run"
# What it kept is in the registry, every value as text.
settings=$(wine reg query 'HKCU\Software\Drovix' 2>/dev/null | tr -d '\r')
grep -Eq '^ +WSPRBand1 +REG_SZ +20$' <<<"$settings" || fail "no WSPRBand1 as REG_SZ after the close"
grep -Eq '^ +BeamtideLastGet1 +REG_SZ ' <<<"$settings" || fail "no BeamtideLastGet1 as REG_SZ after the close"
if grep -E 'REG_(DWORD|BINARY|QWORD|MULTI_SZ|EXPAND_SZ)' <<<"$settings" >&2; then
  fail "settings stored as something other than text"
fi
# Every spot shown went into the history through the Windows build's SQLite, and the file
# reads the same on Linux through its documented view.
stored=$(sqlite3 -readonly "$work/BeamtideHistory.sqlite" \
  "SELECT count(*) FROM spot WHERE band = '20' AND source = 'wsprnet'" 2>&1) \
  || fail "the history file does not read: $stored"
[ "$stored" -ge "$(grep -c . "$work/WSPRRep1.csv")" ] 2>/dev/null || fail "$stored spots in the history, not every spot shown"

echo "Windows end-to-end: $(grep -c . "$work/WSPRRep1.csv") spots shown from the local stand-in, the same query as on Linux; kept in the history; closed by WM_CLOSE with its settings in the registry as text"

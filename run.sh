#!/usr/bin/env bash
# Installs what is missing, builds, and starts Beamtide. Arguments go to the program.
# ./run.sh --demo starts a local replay of the spot database first and points Beamtide at
# it, in the folder build/demo, so it can be tried without the Internet. With
# ./run.sh --demo --spotdb-down the replayed spot database fails and the replayed wspr.live
# answers instead. ./run.sh --demo --windows does the same with the Windows program under
# Wine (it cross-builds the Windows toolchain first, once).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
beamtide_install_deps

if [ "${1:-}" = "--demo" ]; then
  shift
  demo_options=()
  windows=0
  while [ $# -gt 0 ]; do
    case "$1" in
      --spotdb-down) demo_options+=(--spotdb-down) ;;
      --windows) windows=1 ;;
      *) break ;;
    esac
    shift
  done
  if [ "$windows" = 1 ]; then scripts/windows/build.sh; else beamtide_build; fi
  coproc DEMO { exec /usr/bin/python3 scripts/demo_server.py 0 "${demo_options[@]}"; }
  trap 'kill "$DEMO_PID" 2>/dev/null || true' EXIT
  trap 'exit 130' INT TERM
  read -r port <&"${DEMO[0]}"
  export BEAMTIDE_SPOTDB_URL="http://127.0.0.1:$port"
  export BEAMTIDE_ECHO_URL="http://127.0.0.1:$port"
  export BEAMTIDE_WSPRLIVE_URL="http://127.0.0.1:$port"
  if [ "$windows" = 1 ]; then
    # The settings go to the registry of a Wine prefix of the demo's own.
    mkdir -p build-win/demo
    export WINEPREFIX=$PWD/build-win/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
    source scripts/windows/env.sh
    beamtide_wine_fonts
    cd build-win/demo
    wine ../Beamtide/Beamtide.exe "$@"
    exit $?
  fi
  mkdir -p build/demo
  export BEAMTIDE_SETTINGS="$PWD/build/demo/settings.ini"
  cd build/demo
  ../beamtide "$@"
  exit $?
fi
beamtide_build
exec build/beamtide "$@"

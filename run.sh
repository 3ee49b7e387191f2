#!/usr/bin/env bash
# Installs what is missing, builds, and starts Beamtide. Arguments go to the program.
# ./run.sh --demo starts a local replay of the spot database first and points Beamtide at
# it, in the folder build/demo, so it can be tried without the Internet. With
# ./run.sh --demo --spotdb-down the replayed spot database fails and the replayed wspr.live
# answers instead.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
beamtide_install_deps
beamtide_build

if [ "${1:-}" = "--demo" ]; then
  shift
  demo_options=()
  if [ "${1:-}" = "--spotdb-down" ]; then
    shift
    demo_options+=(--spotdb-down)
  fi
  mkdir -p build/demo
  coproc DEMO { exec /usr/bin/python3 scripts/demo_server.py 0 "${demo_options[@]}"; }
  trap 'kill "$DEMO_PID" 2>/dev/null || true' EXIT
  trap 'exit 130' INT TERM
  read -r port <&"${DEMO[0]}"
  export BEAMTIDE_SPOTDB_URL="http://127.0.0.1:$port"
  export BEAMTIDE_ECHO_URL="http://127.0.0.1:$port"
  export BEAMTIDE_WSPRLIVE_URL="http://127.0.0.1:$port"
  export BEAMTIDE_SETTINGS="$PWD/build/demo/settings.ini"
  cd build/demo
  ../beamtide "$@"
  exit $?
fi
exec build/beamtide "$@"

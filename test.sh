#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
beamtide_install_deps
beamtide_build
cd build
# The real-window test needs a display; the others run on the offscreen platform.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 "$@"

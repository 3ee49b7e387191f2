#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the Linux program's, then
# the Windows program's under Wine (the Windows toolchain is cross-built once and cached
# outside the clone). Arguments go to the Linux ctest.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
beamtide_install_deps
beamtide_build
# The real-window test needs a display; the others run on the offscreen platform.
(cd build && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 "$@")

scripts/windows/build.sh
xvfb-run -a -s "-screen 0 1280x1024x24" scripts/windows/test.sh

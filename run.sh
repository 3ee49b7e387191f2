#!/usr/bin/env bash
# Installs what is missing, builds, and starts Beamtide. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
beamtide_install_deps
beamtide_build
exec build/beamtide "$@"

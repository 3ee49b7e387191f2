#!/usr/bin/env bash
# Installs what is missing, builds, and makes the Debian package without running the tests:
# build/packages/beamtide_<version>[+git.<describe>]_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
beamtide_install_deps
beamtide_build
cd build
rm -f packages/beamtide_*.deb
cpack -G DEB -B packages >/dev/null
ls "$PWD"/packages/beamtide_*.deb

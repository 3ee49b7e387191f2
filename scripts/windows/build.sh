#!/usr/bin/env bash
# Cross-builds Beamtide.exe, its tests and benchmarks into build-win/, and makes the folder
# to copy to a Windows PC (build-win/Beamtide) and its zip. The toolchain comes first.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
source "$repo/scripts/windows/env.sh"
"$repo/scripts/windows/toolchain.sh"

build=$repo/build-win
export CCACHE_DIR=${CCACHE_DIR:-$BEAMTIDE_WIN_CACHE/ccache}
export CCACHE_BASEDIR=$repo
cmake -S "$repo" -B "$build" -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DBEAMTIDE_WIN_ROOT="$BEAMTIDE_WIN_ROOT" \
  -DCMAKE_PREFIX_PATH="$BEAMTIDE_WIN_ROOT" -DCMAKE_BUILD_TYPE=Release \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$build"
"$repo/scripts/windows/deploy.sh" "$build"

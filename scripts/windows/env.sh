# Where the Windows toolchain lives, and the packages that build and test it. Sourced.
: "${BEAMTIDE_WIN_CACHE:=${XDG_CACHE_HOME:-$HOME/.cache}/beamtide-win}"
: "${BEAMTIDE_WIN_ROOT:=$BEAMTIDE_WIN_CACHE/root}"
export BEAMTIDE_WIN_CACHE BEAMTIDE_WIN_ROOT

beamtide_windows_packages=(
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  wine wine64 fonts-wine xvfb xauth ccache dpkg-dev perl tcl zip nsis
)

beamtide_install_windows_deps() {
  local missing=() p
  for p in "${beamtide_windows_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

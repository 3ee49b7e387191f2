# Where the Windows toolchain lives, and the packages that build and test it. Sourced.
: "${BEAMTIDE_WIN_CACHE:=${XDG_CACHE_HOME:-$HOME/.cache}/beamtide-win}"
: "${BEAMTIDE_WIN_ROOT:=$BEAMTIDE_WIN_CACHE/root}"
export BEAMTIDE_WIN_CACHE BEAMTIDE_WIN_ROOT

beamtide_windows_packages=(
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  wine wine64 fonts-wine fonts-dejavu-core xvfb xauth ccache dpkg-dev perl tcl zip nsis
)

# shellcheck source=scripts/deps.sh
source "$(dirname "${BASH_SOURCE[0]}")/../deps.sh"

beamtide_install_windows_deps() {
  beamtide_install_packages "${beamtide_windows_packages[@]}"
}

# Windows dialogs ask for Tahoma, which Debian's fonts-wine lacks. Wine's own fallback then
# measures text boxes several times too tall, and Qt places a line edit's text outside its
# box. A real sans face in its place gives Wine, the tests and the screenshots sane metrics.
beamtide_wine_fonts() {
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Tahoma /t REG_SZ /d "DejaVu Sans" /f \
    >/dev/null 2>&1
}

# Installs the Debian packages Beamtide needs to build, run and test; sourced by run.sh
# and test.sh. Only what is missing is installed.
beamtide_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins libgl-dev
  libcurl4-openssl-dev libssl-dev openssl ca-certificates libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  libmosquitto-dev mosquitto mosquitto-clients
  python3 python3-aiosmtpd clickhouse-server tzdata
  xvfb xauth fonts-dejavu-core fonts-liberation2
  dunst dbus dbus-bin trayer
  xplanet-images ccache
  desktop-file-utils appstream dpkg-dev fakeroot file
)

# Installs those of the given Debian packages that are missing.
beamtide_install_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

beamtide_install_deps() {
  beamtide_install_packages "${beamtide_packages[@]}"
}

beamtide_build() {
  # ccache's folder outside the clone keeps a rebuild from a fresh clone short; paths are
  # taken relative to the clone, so every clone and worktree shares it.
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
  cmake --build build
}

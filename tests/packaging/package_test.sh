#!/usr/bin/env bash
# The Debian package as a user gets it: the desktop entry and the metainfo validate, cpack
# builds the .deb, it holds what the desktop expects, and the program unpacked from it starts
# the menu entry's way (with /datafolder) under the test's X display and shows spots from the
# local stand-in, writing only into the data folder.
# Usage: package_test.sh <build folder> <source folder>
set -euo pipefail
build=$1
source=$2
id=io.github.beamtide.Beamtide

work=$(mktemp -d)
demo_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null || true
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "== desktop-file-validate"
desktop-file-validate "$source/packaging/$id.desktop"

echo "== appstreamcli validate --no-net"
# Warnings are listed but pass; errors fail.
set +e
appstreamcli validate --no-net --no-color "$build/packaging/$id.metainfo.xml"
status=$?
set -e
appstreamcli validate --no-net --no-color "$build/packaging/$id.metainfo.xml" 2>&1 | grep -q '^E:' \
  && fail "the metainfo has errors (exit $status)"

echo "== cpack"
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/beamtide_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}
version=$(cat "$build/version.txt")
case "$(basename "$deb")" in
  "beamtide_${version}_"*.deb | "beamtide_${version}+git."*.deb) ;;
  *) fail "package file name $(basename "$deb") does not carry version $version" ;;
esac
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Package Version Depends Recommends
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version)"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends lacks Qt: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Depends | grep -q 'libcurl' || fail "Depends lacks libcurl"
[ "$(dpkg-deb -f "$deb" Recommends)" = "xplanet-images" ] || fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"

echo "== file list"
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$work/files"
cat "$work/files"
expected=(
  /usr/bin/beamtide
  /usr/share/applications/$id.desktop
  /usr/share/metainfo/$id.metainfo.xml
  /usr/share/doc/beamtide/LICENSE
  /usr/share/doc/beamtide/THIRD-PARTY.md
)
for size in 16 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for f in "${expected[@]}"; do
  grep -qxF "$f" "$work/files" || fail "$f is not in the package"
done
# Nothing of the user's: installing over an older version leaves settings and data alone.
[ "$(wc -l <"$work/files")" -eq "${#expected[@]}" ] || fail "unexpected files in the package"

echo "== the unpacked program"
root=$work/root
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop"
for size in 16 32 48 64 128 256; do
  got=$(file -b "$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png" 2>/dev/null || true)
  case "$got" in *"$size x $size"*) ;; *) fail "icon $size: $got" ;; esac
done
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$id.desktop")
read -r -a exec_words <<<"$exec_line"
[ "${exec_words[0]}" = beamtide ] || fail "Exec starts with ${exec_words[0]}"

coproc DEMO { exec /usr/bin/python3 "$source/scripts/demo_server.py" 0; }
demo_pid=$DEMO_PID
read -r port <&"${DEMO[0]}"
mkdir -p "$work/start" "$work/data" "$work/lock"
(
  cd "$work/start"
  export BEAMTIDE_SPOTDB_URL="http://127.0.0.1:$port" BEAMTIDE_ECHO_URL="http://127.0.0.1:$port" \
         BEAMTIDE_WSPRLIVE_URL="http://127.0.0.1:$port" BEAMTIDE_LOCAL_ADDRESS=192.0.2.10 \
         BEAMTIDE_SETTINGS="$work/settings.ini" BEAMTIDE_LOCK_DIR="$work/lock" XDG_DATA_HOME="$work/data"
  exec "$root/usr/bin/beamtide" "${exec_words[@]:1}"
) &
app_pid=$!
spots=$work/data/Beamtide/WSPRRep1.csv
until [ -s "$spots" ]; do
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended before showing spots"
  sleep 0.2
done
echo "spots: $(grep -c . "$spots") lines in $spots"
kill -TERM "$app_pid"
set +e
wait "$app_pid"
status=$?
set -e
app_pid=
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
[ -z "$(ls -A "$work/start")" ] || fail "files written in the start folder: $(ls -A "$work/start")"
[ -f "$work/settings.ini" ] || fail "no settings saved"
echo "PASS"

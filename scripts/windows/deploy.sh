#!/usr/bin/env bash
# Makes the folder that runs on a Windows PC as it is: Beamtide.exe, every DLL it needs
# (found by following the imports of each shipped binary), the Qt plugins, the Earth image,
# README.txt and the licences; stripped, then zipped. Fails if an import is neither shipped
# nor part of Windows.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
source "$repo/scripts/windows/env.sh"
build=$(cd "${1:-$repo/build-win}" && pwd)
version=$(cat "$build/version.txt")
dist=$build/Beamtide
rm -rf "$dist"
mkdir -p "$dist"/{platforms,styles,imageformats,licences}

cp "$build/Beamtide.exe" "$dist/"
cp "$BEAMTIDE_WIN_ROOT/plugins/platforms/qwindows.dll" "$dist/platforms/"
cp "$BEAMTIDE_WIN_ROOT/plugins/styles/qwindowsvistastyle.dll" "$dist/styles/"
cp "$BEAMTIDE_WIN_ROOT/plugins/imageformats/qjpeg.dll" "$dist/imageformats/"
# Windows has no folder of authorities that OpenSSL reads: the program checks TLS peers (HTTPS,
# mail, MQTT) against Debian's bundle of them, shipped beside it (net/TlsAuthorities).
cp /etc/ssl/certs/ca-certificates.crt "$dist/ca-certificates.crt"
if [ -f /usr/share/xplanet/images/earth.jpg ]; then
  cp /usr/share/xplanet/images/earth.jpg "$dist/earth.jpg"
fi

# Where DLLs that are not part of Windows come from.
search=("$BEAMTIDE_WIN_ROOT/bin" /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)
"$repo/scripts/windows/imports.sh" resolve "$dist" "${search[@]}"
find "$dist" -iname '*.exe' -o -iname '*.dll' | xargs x86_64-w64-mingw32-strip --strip-unneeded
"$repo/scripts/windows/imports.sh" check "$dist"

# What a user reads first, and the licences of everything shipped.
sed 's/$/\r/' "$repo/scripts/windows/README.txt" >"$dist/README.txt"
for f in LICENSE THIRD-PARTY.md; do
  [ -f "$repo/$f" ] && sed 's/$/\r/' "$repo/$f" >"$dist/$f"
done
qt_src=$(ls -d "$BEAMTIDE_WIN_CACHE"/src/qt6-base-*/ | head -1)
cp "$qt_src"/LICENSES/LGPL-3.0-only.txt "$dist/licences/Qt-LGPL-3.0-only.txt"
cp "$qt_src"/LICENSES/GPL-3.0-only.txt "$dist/licences/Qt-GPL-3.0-only.txt" 2>/dev/null || true
cp "$(ls -d "$BEAMTIDE_WIN_CACHE"/src/openssl-*/ | head -1)/LICENSE.txt" "$dist/licences/OpenSSL-LICENSE.txt"
cp "$(ls -d "$BEAMTIDE_WIN_CACHE"/src/curl-*/ | head -1)/COPYING" "$dist/licences/curl-COPYING.txt"
cp /usr/share/doc/ca-certificates/copyright "$dist/licences/ca-certificates-copyright.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$dist/licences/MinGW-w64-GCC-runtime.txt" 2>/dev/null || true
cp /usr/share/doc/mingw-w64-common/copyright "$dist/licences/MinGW-w64-runtime.txt" 2>/dev/null || true

zip=$build/Beamtide-$version-win64.zip
rm -f "$zip"
(cd "$build" && zip -qr9 "$zip" Beamtide)
# The installer; its uninstaller removes exactly the files shipped.
files=$build/uninstall-files.nsh
(cd "$dist" && find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|^|  Delete "$INSTDIR\\|; s|$|"|'
 cd "$dist" && find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|^|  RMDir "$INSTDIR\\|; s|$|"|') >"$files"
setup=$build/Beamtide-$version-win64-setup.exe
makensis -V2 -DVERSION="$version" -DSRCDIR="$dist" -DOUTFILE="$setup" -DFILES="$files" \
  "$repo/packaging/windows/Beamtide.nsi" >/dev/null
echo "Windows folder: $dist ($(du -sh "$dist" | cut -f1)); zip: $zip ($(du -h "$zip" | cut -f1)); installer: $setup ($(du -h "$setup" | cut -f1))"

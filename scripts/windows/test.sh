#!/usr/bin/env bash
# Runs the Windows suite under Wine: a fresh prefix of its own, the test programs through
# ctest (wine is the cross-compiling emulator), the shipped folder's DLL imports, and the
# end-to-end run of Beamtide.exe. Run it under an X display (test.sh uses xvfb-run).
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
source "$repo/scripts/windows/env.sh"
build=$repo/build-win

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/beamtide-wine.XXXXXX")
export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko install dialogs: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  kill "${BROKER_PID:-}" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1
beamtide_wine_fonts
wineserver -w 2>/dev/null || true

# The test programs find the DLLs where the toolchain put them.
win_path() { winepath -w "$1" 2>/dev/null; }
gcc_dir=$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix | head -1)
WINEPATH="$(win_path "$BEAMTIDE_WIN_ROOT/bin");$(win_path "$gcc_dir");$(win_path /usr/x86_64-w64-mingw32/lib)"
export WINEPATH QT_PLUGIN_PATH="$(win_path "$BEAMTIDE_WIN_ROOT/plugins")"

# The fixture servers that are Linux programs, started for the Windows tests on request.
coproc BROKER { exec /usr/bin/python3 "$repo/scripts/windows/fixture_broker.py"; }
read -r broker_port <&"${BROKER[0]}"
export BEAMTIDE_FIXTURE_BROKER=$broker_port

"$repo/scripts/windows/imports.sh" check "$build/Beamtide"
(cd "$build" && ctest --output-on-failure -j1 "$@")
# The shipped folder finds its DLLs and plugins by itself.
env -u WINEPATH -u QT_PLUGIN_PATH "$repo/scripts/windows/e2e.sh" "$build/Beamtide"

# The installer: a silent per-user install, the installed program as the Start menu starts
# it, and a silent uninstall that leaves no program file behind.
setup=$(ls "$build"/Beamtide-*-win64-setup.exe | head -1)
wine "$setup" /S
installed=$(winepath -u "$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')\\Programs\\Beamtide" 2>/dev/null)
[ -f "$installed/Beamtide.exe" ] || { echo "The installer put no Beamtide.exe in $installed" >&2; exit 1; }
env -u WINEPATH -u QT_PLUGIN_PATH "$repo/scripts/windows/e2e.sh" "$installed" --datafolder
wine "$installed/Uninstall.exe" /S
# The uninstaller runs on from a copy of itself in the temporary folder.
for _ in $(seq 120); do [ -e "$installed" ] || break; sleep 0.5; done
if [ -e "$installed" ]; then
  echo "The uninstaller left program files behind:" >&2
  find "$installed" >&2
  exit 1
fi
wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Beamtide' >/dev/null 2>&1 \
  && { echo "The uninstaller left its entry in the installed-programs list" >&2; exit 1; }
echo "Installer: installed, ran from the Start-menu form, uninstalled without a trace"

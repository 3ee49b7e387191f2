#!/usr/bin/env bash
# The DLL imports of a folder of Windows binaries.
#   imports.sh resolve DIR SEARCH...  copies into DIR every DLL that a binary in DIR imports,
#                                     found in a SEARCH folder, until nothing is missing
#   imports.sh check DIR              fails when an import is neither in DIR nor part of Windows
# A DLL missing on a real PC is the most common failure of a cross-built program.
set -euo pipefail

# DLLs every Windows 10 or 11 PC has.
system_dll() {
  case "${1,,}" in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|oleaut32.dll|\
    ws2_32.dll|crypt32.dll|comdlg32.dll|comctl32.dll|winmm.dll|imm32.dll|dwmapi.dll|uxtheme.dll|\
    version.dll|netapi32.dll|userenv.dll|iphlpapi.dll|dwrite.dll|d3d9.dll|d3d11.dll|dxgi.dll|\
    shlwapi.dll|setupapi.dll|wtsapi32.dll|msvcrt.dll|bcrypt.dll|mpr.dll|authz.dll|secur32.dll|\
    wldap32.dll|normaliz.dll|dnsapi.dll|shcore.dll|winspool.drv|ntdll.dll|rpcrt4.dll|winhttp.dll|\
    api-ms-win-*|ext-ms-win-*) return 0 ;;
  esac
  return 1
}

imports_of() {
  x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r'
}

binaries() { find "$1" -type f \( -iname '*.exe' -o -iname '*.dll' \); }

shipped() { [ -n "$(find "$1" -maxdepth 1 -iname "$2" -print -quit)" ]; }

mode=$1
dir=$2
shift 2
case "$mode" in
  resolve)
    changed=1
    while [ "$changed" = 1 ]; do
      changed=0
      while read -r bin; do
        while read -r dll; do
          system_dll "$dll" && continue
          shipped "$dir" "$dll" && continue
          for folder in "$@"; do
            found=$(find "$folder" -maxdepth 1 -iname "$dll" -print -quit 2>/dev/null)
            if [ -n "$found" ]; then
              cp "$found" "$dir/"
              changed=1
              break
            fi
          done
        done < <(imports_of "$bin")
      done < <(binaries "$dir")
    done
    ;;
  check)
    missing=0
    while read -r bin; do
      while read -r dll; do
        system_dll "$dll" || shipped "$dir" "$dll" || {
          echo "${bin#"$dir"/} imports $dll, which is neither shipped nor part of Windows" >&2
          missing=1
        }
      done < <(imports_of "$bin")
    done < <(binaries "$dir")
    [ "$missing" = 0 ] && echo "Every import of $(binaries "$dir" | wc -l) binaries is shipped or part of Windows"
    exit "$missing"
    ;;
esac

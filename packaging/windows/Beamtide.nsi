; The Windows installer: a per-user install that needs no administrator rights, a Start-menu
; shortcut that keeps the data files in the user's own data folder, and an uninstaller in the
; installed-programs list that removes the program and leaves settings and data alone.
; makensis -DVERSION=<version> -DSRCDIR=<the shipped folder> -DOUTFILE=<setup.exe>
;          -DFILES=<an include of the uninstaller's Delete lines>
; A 64-bit installer for a 64-bit program (and Wine without its 32-bit half runs it).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define UNINST "Software\Microsoft\Windows\CurrentVersion\Uninstall\Beamtide"

Name "Beamtide ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Beamtide"
InstallDirRegKey HKCU "${UNINST}" "InstallLocation"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Beamtide"
VIAddVersionKey "FileDescription" "Beamtide setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "GPL-3.0-or-later"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Beamtide"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${SRCDIR}\*.*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ; Started from the menu, the program has no working folder of the user's choosing: the
  ; option makes it %LOCALAPPDATA%\Beamtide.
  CreateShortcut "$SMPROGRAMS\Beamtide.lnk" "$INSTDIR\Beamtide.exe" "/datafolder" "$INSTDIR\Beamtide.exe" 0
  WriteRegStr HKCU "${UNINST}" "DisplayName" "Beamtide"
  WriteRegStr HKCU "${UNINST}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST}" "Publisher" "Beamtide developers"
  WriteRegStr HKCU "${UNINST}" "DisplayIcon" "$INSTDIR\Beamtide.exe"
  WriteRegStr HKCU "${UNINST}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINST}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Beamtide.lnk"
  ; Only what the installer put there: a folder chosen by the user may hold other things.
  !include "${FILES}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINST}"
SectionEnd

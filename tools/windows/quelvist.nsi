; The Windows installer: Quelvist into Program Files, with its data, a
; Start-menu entry, "Open with Quelvist" for .txt files and an uninstaller
; listed in Add/Remove Programs. /S installs silently.
; makensis -DVERSION=1.0.0 -DSTAGE=dir -DOUTFILE=setup.exe -DICON=quelvist.ico quelvist.nsi
Unicode true
Target amd64-unicode
!include "MUI2.nsh"
; The program's own icon on the installer and the uninstaller.
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"

Name "Quelvist ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quelvist"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

; Who made it, as the installer's Properties show it.
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Quelvist"
VIAddVersionKey /LANG=1033 "CompanyName" "Quelvist developers"
VIAddVersionKey /LANG=1033 "FileDescription" "Quelvist installer"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Quelvist developers"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quelvist"
!define TXT_VERB_KEY "Software\Classes\SystemFileAssociations\.txt\shell\Quelvist"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Quelvist"
  SetRegView 64
  ; Installed for the machine: the Start-menu entry for every user of it.
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\quelvist.exe"
  File "${STAGE}\images.dat"
  File "${STAGE}\test.txt"
  File "${STAGE}\README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; Started from the Start menu, the program works in its own folder, where
  ; the sample test.txt is what Cancel in the file dialog opens.
  CreateDirectory "$SMPROGRAMS\Quelvist"
  CreateShortcut "$SMPROGRAMS\Quelvist\Quelvist.lnk" "$INSTDIR\quelvist.exe" "" "$INSTDIR\quelvist.exe" 0
  CreateShortcut "$SMPROGRAMS\Quelvist\Uninstall Quelvist.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${TXT_VERB_KEY}" "" "Open with Quelvist"
  WriteRegStr HKLM "${TXT_VERB_KEY}\command" "" '"$INSTDIR\quelvist.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\Applications\quelvist.exe\shell\open\command" "" '"$INSTDIR\quelvist.exe" "%1"'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quelvist"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Quelvist developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quelvist.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  Delete "$INSTDIR\quelvist.exe"
  Delete "$INSTDIR\images.dat"
  Delete "$INSTDIR\test.txt"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Quelvist\Quelvist.lnk"
  Delete "$SMPROGRAMS\Quelvist\Uninstall Quelvist.lnk"
  RMDir "$SMPROGRAMS\Quelvist"
  ; Entries an earlier version put into the installing user's own menu.
  SetShellVarContext current
  Delete "$SMPROGRAMS\Quelvist\Quelvist.lnk"
  Delete "$SMPROGRAMS\Quelvist\Uninstall Quelvist.lnk"
  RMDir "$SMPROGRAMS\Quelvist"
  DeleteRegKey HKLM "${TXT_VERB_KEY}"
  DeleteRegKey HKLM "Software\Classes\Applications\quelvist.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

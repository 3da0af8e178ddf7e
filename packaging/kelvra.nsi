; Kelvra's Windows installer, made by tools/package.sh with Debian's nsis:
;   makensis -DVERSION=1.1.0.0 -DFILES=<folder> -DOUTFILE=<installer> packaging/kelvra.nsi
; FILES holds kelvra.exe, the manual kelvra.txt and the icon kelvra.ico.
; Per machine, into Program Files\Kelvra, with a Start-menu shortcut and an
; entry in the system's list of programs; /S installs and uninstalls silently.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvra"

Name "Kelvra ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kelvra"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${FILES}/kelvra.ico"
!define MUI_UNICON "${FILES}/kelvra.ico"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductName" "Kelvra"
VIAddVersionKey /LANG=${LANG_SPANISH} "CompanyName" "Kelvra"
VIAddVersionKey /LANG=${LANG_SPANISH} "LegalCopyright" "Kelvra"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileDescription" "Instalador de Kelvra"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductVersion" "${VERSION}"

Function .onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Kelvra"
  SetOutPath "$INSTDIR"
  File "${FILES}/kelvra.exe"
  File "${FILES}/kelvra.txt"
  File "${FILES}/kelvra.ico"
  WriteUninstaller "$INSTDIR\desinstalar.exe"

  ; Kelvra writes its files in the folder it starts in, and Program Files
  ; is not the user's to write: the shortcut starts it in the user's folder,
  ; which Windows reads from the variable when it opens the shortcut.
  StrCpy $OUTDIR "%USERPROFILE%"
  CreateShortcut "$SMPROGRAMS\Kelvra.lnk" "$INSTDIR\kelvra.exe" "" "$INSTDIR\kelvra.ico" 0 \
    SW_SHOWNORMAL "" "Notas y avisos en la consola"

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Kelvra"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Kelvra"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\kelvra.ico"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\desinstalar.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\desinstalar.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Kelvra.lnk"
  Delete "$INSTDIR\kelvra.exe"
  Delete "$INSTDIR\kelvra.txt"
  Delete "$INSTDIR\kelvra.ico"
  Delete "$INSTDIR\desinstalar.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd

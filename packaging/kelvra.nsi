; Kelvra's Windows installer and its uninstaller, made from this one script
; by tools/package.sh with Debian's nsis, the uninstaller first since the
; installer carries it:
;   makensis -DVERSION=1.1.0.0 -DFILES=<folder> -DUNINSTALLER -DOUTFILE=<folder>/desinstalar.exe packaging/kelvra.nsi
;   makensis -DVERSION=1.1.0.0 -DFILES=<folder> -DOUTFILE=<installer> packaging/kelvra.nsi
; FILES holds kelvra.exe, the manual kelvra.txt, the icon kelvra.ico,
; LICENSE.txt and THIRD-PARTY-NOTICES.txt, and for the installer
; desinstalar.exe. Per machine, into Program Files\Kelvra, with Start-menu
; shortcuts to Kelvra and to its manual and an entry in the system's list of
; programs; /S installs and uninstalls silently.
;
; Neither reports success over a running Kelvra (DELETE_KELVRA_EXE below).
;
; desinstalar.exe is not one of NSIS's own uninstallers: those copy themselves
; away, start the copy and return 0 at once, so `desinstalar.exe /S` could
; never report a failure. This one removes Kelvra while its caller waits and
; returns the true status. What it cannot remove while it runs (its own
; file, the folder, and last the uninstall entry, which must outlive the
; files) is left to a helper it writes into a temporary folder and starts as
; it ends (the "Uninstall" section below). Like NSIS's own uninstallers, the
; helper is deleted from there at the next restart.
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
BrandingText "Kelvra ${VERSION}"

!define MUI_ICON "${FILES}/kelvra.ico"
!ifdef UNINSTALLER
  !define DESCRIPTION "Desinstalador de Kelvra"
  Caption "Desinstalar Kelvra"
  !define MUI_UNICON "${FILES}/kelvra.ico"
  !define MUI_PAGE_HEADER_TEXT "Desinstalando Kelvra"
  !define MUI_PAGE_HEADER_SUBTEXT "Se quitan Kelvra, su manual y sus accesos directos."
  !define MUI_INSTFILESPAGE_FINISHHEADER_TEXT "Kelvra se ha desinstalado"
  !define MUI_INSTFILESPAGE_FINISHHEADER_SUBTEXT " "
  !define MUI_INSTFILESPAGE_ABORTHEADER_TEXT "Kelvra no se ha desinstalado"
  !define MUI_INSTFILESPAGE_ABORTHEADER_SUBTEXT "No se ha quitado nada."
  !insertmacro MUI_PAGE_INSTFILES
!else
  !define DESCRIPTION "Instalador de Kelvra"
  ; The MIT license asks for nothing to be accepted before using Kelvra.
  !define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
  !define MUI_LICENSEPAGE_TEXT_BOTTOM "Kelvra se distribuye bajo la licencia MIT. Pulse Siguiente para continuar."
  !insertmacro MUI_PAGE_WELCOME
  !insertmacro MUI_PAGE_LICENSE "${FILES}/LICENSE.txt"
  !insertmacro MUI_PAGE_DIRECTORY
  !insertmacro MUI_PAGE_INSTFILES
  !insertmacro MUI_PAGE_FINISH
!endif
!insertmacro MUI_LANGUAGE "Spanish"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductName" "Kelvra"
VIAddVersionKey /LANG=${LANG_SPANISH} "CompanyName" "Kelvra"
VIAddVersionKey /LANG=${LANG_SPANISH} "LegalCopyright" "Copyright (c) 2026 Kelvra maintainers"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileDescription" "${DESCRIPTION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductVersion" "${VERSION}"

Function .onInit
  SetShellVarContext all
  SetRegView 64
!ifdef UNINSTALLER
  StrCpy $INSTDIR $EXEDIR
  MessageBox MB_YESNO|MB_ICONQUESTION "Se va a desinstalar Kelvra de $INSTDIR. Desea continuar?" /SD IDYES IDYES +3
  SetErrorLevel 1
  Quit
!endif
FunctionEnd

; The first step of installing and of uninstalling: while kelvra.exe runs
; it cannot be deleted, so Kelvra is asked to be closed and, cancelled or
; under /S, the whole ends with status 2 before anything has changed.
!macro DELETE_KELVRA_EXE
  retry:
  Delete "$INSTDIR\kelvra.exe"
  IfFileExists "$INSTDIR\kelvra.exe" 0 deleted
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Kelvra se esta ejecutando. Cierrelo y pulse Reintentar." /SD IDCANCEL IDRETRY retry
  SetErrorLevel 2
  Abort "Kelvra se esta ejecutando: no se ha cambiado nada."
  deleted:
!macroend

!ifdef UNINSTALLER
Section "Desinstalar"
  !insertmacro DELETE_KELVRA_EXE
  Delete "$INSTDIR\kelvra.txt"
  Delete "$INSTDIR\kelvra.ico"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$SMPROGRAMS\Kelvra.lnk"
  Delete "$SMPROGRAMS\Manual de Kelvra.lnk"
SectionEnd

; The helper that finishes the uninstall once desinstalar.exe has ended
; starts as it ends: after its window is closed, or at once under /S.
Function .onInstSuccess
  GetTempFileName $0
  Delete $0
  CreateDirectory $0
  WriteUninstaller "$0\Un.exe"
  ClearErrors
  Exec '"$0\Un.exe" /S _?=$INSTDIR'
  IfErrors 0 +2
  SetErrorLevel 1
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

; The helper waits up to 30 seconds for desinstalar.exe to end and let go of
; its file. The uninstall entry goes only after it: given up, both stay, and
; the uninstall can be run again.
Section "Uninstall"
  StrCpy $1 0
  wait:
  Delete "$INSTDIR\desinstalar.exe"
  IfFileExists "$INSTDIR\desinstalar.exe" 0 gone
  IntOp $1 $1 + 1
  IntCmp $1 300 finish
  Sleep 100
  Goto wait
  gone:
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
  finish:
  Delete /REBOOTOK "$EXEPATH"
  RMDir /REBOOTOK "$EXEDIR"
SectionEnd

!else
Section "Kelvra"
  !insertmacro DELETE_KELVRA_EXE
  SetOutPath "$INSTDIR"
  ClearErrors
  File "${FILES}/kelvra.exe"
  File "${FILES}/kelvra.txt"
  File "${FILES}/kelvra.ico"
  File "${FILES}/LICENSE.txt"
  File "${FILES}/THIRD-PARTY-NOTICES.txt"
  File "${FILES}/desinstalar.exe"
  IfErrors 0 +3
  SetErrorLevel 2
  Abort "No se pudieron escribir los archivos de Kelvra."

  ; Kelvra writes its files in the folder it starts in, and Program Files
  ; is not the user's to write: the shortcut starts it in the user's folder,
  ; which Windows reads from the variable when it opens the shortcut.
  StrCpy $OUTDIR "%USERPROFILE%"
  CreateShortcut "$SMPROGRAMS\Kelvra.lnk" "$INSTDIR\kelvra.exe" "" "$INSTDIR\kelvra.ico" 0 \
    SW_SHOWNORMAL "" "Notas y avisos en la consola"
  CreateShortcut "$SMPROGRAMS\Manual de Kelvra.lnk" "$INSTDIR\kelvra.txt" "" "" 0 \
    SW_SHOWNORMAL "" "El manual de Kelvra"

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
!endif

; The set-up of Sirelta for the current user, without administrator rights:
; the program and the files of the release package under the user's local
; programs folder, a Start-menu shortcut, the .zpf association, an entry in
; the installed-programs list and an uninstaller. /S installs (and
; uninstalls) silently. scripts/package.sh defines VERSION, STAGE (the staged
; package), FILES (the uninstaller's list of them), ICON and OUTFILE.
Unicode true
; The program is a 64-bit one: so is its set-up (it also runs where no 32-bit
; Windows programs can).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PROGID "Sirelta.Profile"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sirelta"
!define OPEN_COMMAND '"$INSTDIR\Sirelta.exe" "%1"'

Name "Sirelta ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Sirelta"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Sirelta.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

LangString ProfileKind ${LANG_RUSSIAN} "Профиль сирены"
LangString ProfileKind ${LANG_ENGLISH} "Siren profile"

; The association in the classes of ROOT (HKCU: the user's own).
!macro WriteAssociation ROOT
  WriteRegStr ${ROOT} "Software\Classes\.zpf" "" "${PROGID}"
  WriteRegStr ${ROOT} "Software\Classes\${PROGID}" "" "$(ProfileKind)"
  WriteRegStr ${ROOT} "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\Sirelta.exe,0"
  WriteRegStr ${ROOT} "Software\Classes\${PROGID}\shell\open\command" "" '${OPEN_COMMAND}'
!macroend

; Takes the association out of ROOT's classes while it still opens profiles
; with this copy of the program (another program may have taken .zpf since).
!macro RemoveAssociation ROOT
  ReadRegStr $0 ${ROOT} "Software\Classes\${PROGID}\shell\open\command" ""
  ${If} $0 == '${OPEN_COMMAND}'
    DeleteRegKey ${ROOT} "Software\Classes\${PROGID}"
    ReadRegStr $1 ${ROOT} "Software\Classes\.zpf" ""
    ${If} $1 == "${PROGID}"
      DeleteRegValue ${ROOT} "Software\Classes\.zpf" ""
      DeleteRegKey /ifempty ${ROOT} "Software\Classes\.zpf"
    ${EndIf}
  ${EndIf}
!macroend

; Tells the shell that an association changed (SHCNE_ASSOCCHANGED).
!macro NotifyShell
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

Section "Sirelta"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Sirelta.lnk" "$INSTDIR\Sirelta.exe" "" "$INSTDIR\Sirelta.exe" 0

  !insertmacro WriteAssociation HKCU
  ; Windows shows the user's classes in HKEY_CLASSES_ROOT. A system that does
  ; not (Wine) gets the association among the machine's classes, where it
  ; has the right to write them; Windows without administrator rights never
  ; comes here.
  ReadRegStr $0 HKCR ".zpf" ""
  ${If} $0 != "${PROGID}"
    ClearErrors
    !insertmacro WriteAssociation HKLM
  ${EndIf}
  !insertmacro NotifyShell

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Sirelta"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Sirelta"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Sirelta.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

; Removes only what the set-up put there; the association only while it
; still opens profiles with this copy of the program. The user's settings and
; profiles stay.
Section "Uninstall"
  SetShellVarContext current
  !include "${FILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Sirelta.lnk"

  !insertmacro RemoveAssociation HKCU
  !insertmacro RemoveAssociation HKLM
  !insertmacro NotifyShell
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

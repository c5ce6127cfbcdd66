; Zephra Button's installer. The build runs makensis with the version, the target
; (ARCH x86 or x64) and the files to pack:
;   VERSION OUTFILE PROGRAM PORTIO_HW DRIVER PORTIO_SIM PAD PAD_CONSOLE ICON WIZARD
;
; Silent use: setup.exe /S [/NOAUTOSTART] [/NOPAD] [/D=folder]; uninstall.exe /S.
; Over an installed copy the setup keeps its folder and ignores /D=.
; Exit codes: 0 done, 1 cancelled, 2 refused (wrong Windows), 5 refused (no
; administrator rights), 1603 failed (a file that could not be written or removed,
; or a folder that cannot be kept from users), 3010 done but files that were in
; use are replaced when Windows restarts. The uninstaller hands over to a copy of
; itself and returns at once; a copy of it run as "uninstall.exe /S _?=folder"
; returns its exit code, with the same meanings.

Unicode true
!if ${ARCH} == x64
  Target amd64-unicode ; a 64-bit installer sees the 64-bit registry, folders and services
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel admin ; for the port driver's service
ManifestDPIAware true
; With a certificate (installer/make-setup.sh defines SIGN), the setup and the
; uninstaller it writes are signed as makensis finishes them; a failure fails the build.
!ifdef SIGN
  !finalize '"${SIGN}" "%1"' = 0
  !uninstfinalize '"${SIGN}" "%1"' = 0
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include x64.nsh

!define PRODUCT "Zephra Button"
!define PUBLISHER "Velmaris"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZephraButton"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Zephra Button"
!define SETTINGS_KEY "Software\Velmaris\Zephbox"
!define ZEPH_SERVICE "ZephIO"
!define ZEPH_SERVICE_NAME "Zephra Button port driver"
!define SIM_DIR "Simulator"
!define SIM_STATE "ZephraSimChipset.dat"
; Windows' own driver folder, which only administrators may change: a driver that
; Windows loads at boot must not live where a user could replace it.
!define DRIVER_DIR "$SYSDIR\drivers"
!define ZEPH_DRIVER_PATH "\SystemRoot\System32\drivers\zephio.sys"

!include service.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
!if ${ARCH} == x64
  !define PUBLISHER_DIR "$PROGRAMFILES64\Velmaris"
  !define SIGNING_NOTE " 64-bit Windows loads only signed drivers; the README says how to try it with test signing."
  Caption "${PRODUCT} ${VERSION} Setup (64-bit)"
!else
  !define PUBLISHER_DIR "$PROGRAMFILES\Velmaris"
  !define SIGNING_NOTE ""
  Caption "${PRODUCT} ${VERSION} Setup"
!endif
InstallDir "${PUBLISHER_DIR}\Zephra Button"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion ${VERSION}
VIFileVersion ${VERSION}
VIAddVersionKey /LANG=1033 ProductName "${PRODUCT}"
VIAddVersionKey /LANG=1033 CompanyName "${PUBLISHER}"
VIAddVersionKey /LANG=1033 FileDescription "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 LegalCopyright "Copyright (C) ${PUBLISHER}"

Var RestartProgram ; the program file that ran before Setup stopped it
Var Upgrade        ; 1 over an installed copy, whose folder it keeps
Var ComponentsText
Var Left           ; the files left for Windows to replace or remove at the restart, one a line

!include files.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "This installs ${PRODUCT} ${VERSION}, which starts your browser, your mail \
program or one of two web addresses when you press the notebook's launch buttons.$\r$\n$\r$\n\
It also installs a small port driver, which is why Windows asks for administrator rights.$\r$\n$\r$\n\
If ${PRODUCT} or its launch-button pad is running, Setup closes it first and starts \
${PRODUCT} again afterwards. Your button settings are kept."
!insertmacro MUI_PAGE_WELCOME
!define MUI_COMPONENTSPAGE_TEXT_TOP "$ComponentsText"
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION FinishRun
; Room on the last page for the list of files left for the restart; and no
; restart unless the user asks for it.
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!define MUI_FINISHPAGE_TEXT_REBOOT "${PRODUCT} ${VERSION} is installed, but these files were in use \
and are replaced when Windows restarts:$Left"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${PRODUCT} has been removed"
!define MUI_FINISHPAGE_TEXT "${PRODUCT}, its driver, its shortcuts and its start at logon are gone.$\r$\n$\r$\n\
Your button settings stay in the registry under HKEY_CURRENT_USER\${SETTINGS_KEY}, \
ready for a later install. Delete that key yourself if you want them gone too."
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!define MUI_FINISHPAGE_TEXT_REBOOT "${PRODUCT} has been removed, except these files, which were in use; \
Windows removes them when it restarts:$Left"
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

!insertmacro ZEPH_FUNCTIONS ""
!insertmacro ZEPH_FUNCTIONS "un."

; Our files, each as: folder, name. The size in Add/Remove Programs and the
; uninstaller go by this list, never by what else a folder holds.
!macro ZEPH_OUR_FILES DO
  !insertmacro ${DO} "$INSTDIR" "zephkeys.exe"
  !insertmacro ${DO} "$INSTDIR" "PortIO.dll"
  !insertmacro ${DO} "$INSTDIR" "zephpad.exe"
  !insertmacro ${DO} "$INSTDIR" "zephpad.com"
  !insertmacro ${DO} "$INSTDIR" "uninstall.exe"
  !insertmacro ${DO} "$INSTDIR\${SIM_DIR}" "zephkeys.exe"
  !insertmacro ${DO} "$INSTDIR\${SIM_DIR}" "PortIO.dll"
  !insertmacro ${DO} "$INSTDIR\${SIM_DIR}" "zephpad.exe"
  !insertmacro ${DO} "$INSTDIR\${SIM_DIR}" "zephpad.com"
  !insertmacro ${DO} "${DRIVER_DIR}" "zephio.sys"
!macroend
!macro ZEPH_PAD_FILES DO
  !insertmacro ${DO} "$INSTDIR\${SIM_DIR}" "zephkeys.exe"
  !insertmacro ${DO} "$INSTDIR\${SIM_DIR}" "PortIO.dll"
  !insertmacro ${DO} "$INSTDIR\${SIM_DIR}" "zephpad.exe"
  !insertmacro ${DO} "$INSTDIR\${SIM_DIR}" "zephpad.com"
!macroend
!define LINK_PROGRAM "${PRODUCT}.lnk"
!define LINK_UNINSTALL "Uninstall ${PRODUCT}.lnk"
!define LINK_PAD "Launch-button pad.lnk"
!define LINK_SIMULATED "${PRODUCT} (simulated buttons).lnk"

; Puts a packed file in place. One that another program still has open is unpacked
; beside it and takes its place when Windows restarts; any other failure stops the
; setup. A clean write also forgets such a copy left by an earlier setup.
!macro ZEPH_FILE dir name source
  SetOutPath "${dir}"
  StrCpy $R0 "${dir}\${name}"
  Call DropReplacement
  ClearErrors
  File "/oname=${name}" "${source}"
  ${If} ${Errors}
    Call InUse
    ${IfThen} $R1 <> 1 ${|} Call CouldNot ${|}
    ClearErrors
    File "/oname=${name}.new" "${source}"
    Call ReplaceAtRestart
  ${EndIf}
!macroend

; Removes one of our files (see RemoveFile).
!macro ZEPH_REMOVE dir name
  StrCpy $R0 "${dir}\${name}"
!ifdef __UNINSTALL__
  Call un.RemoveFile
!else
  Call RemoveFile
!endif
!macroend

; Adds the size of one of our files, when it is there, to $R9 (bytes).
!macro ZEPH_ADD_SIZE dir name
  ClearErrors
  FileOpen $R8 "${dir}\${name}" r
  ${IfNot} ${Errors}
    FileSeek $R8 0 END $R7
    FileClose $R8
    IntOp $R9 $R9 + $R7
  ${EndIf}
!macroend

Section "${PRODUCT}" SecProgram
  SectionIn RO
  Call StopProgram
  StrCpy $RestartProgram $0
  Call ClosePads
  StrCpy $0 0
  Call StopDriver

  StrCpy $R0 $INSTDIR
  Call SecureFolder
  SetOverwrite try
  !insertmacro ZEPH_FILE "$INSTDIR" "zephkeys.exe" "${PROGRAM}"
  !insertmacro ZEPH_FILE "$INSTDIR" "PortIO.dll" "${PORTIO_HW}"
  ; Beside the hardware library the pad's "show" tells whether this notebook
  ; reports its buttons where the program reads them; zephpad.com is what a
  ; command prompt runs for "zephpad", and waits for.
  !insertmacro ZEPH_FILE "$INSTDIR" "zephpad.exe" "${PAD}"
  !insertmacro ZEPH_FILE "$INSTDIR" "zephpad.com" "${PAD_CONSOLE}"
  !insertmacro ZEPH_FILE "${DRIVER_DIR}" "zephio.sys" "${DRIVER}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Earlier versions ran the driver from the program's folder.
  Delete "$INSTDIR\zephio.sys"

  DetailPrint "Starting the port driver ${ZEPH_SERVICE}"
  Call InstallDriver
  ${If} $0 != ""
    DetailPrint "The port driver did not start (Windows error $0)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "The port driver did not start (Windows error $0).$\r$\n$\r$\n\
${PRODUCT} is installed, but it cannot see the launch buttons until the driver runs.${SIGNING_NOTE}\
$\r$\n$\r$\nThe launch-button pad in the Start menu works without it." /SD IDOK
  ${EndIf}

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${LINK_PROGRAM}" "$INSTDIR\zephkeys.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${LINK_UNINSTALL}" "$INSTDIR\uninstall.exe"

  ; Start at logon is its own choice below, for the machine; earlier versions kept
  ; it in the installing user's own Run key.
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\zephkeys.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Start at logon" SecAutostart
  ; For every user of the machine: each still has button settings of their own.
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\zephkeys.exe"'
SectionEnd

Section "Launch-button pad" SecPad
  ; Its own folder may be older than the program's (a folder chosen with /D=).
  StrCpy $R0 "$INSTDIR\${SIM_DIR}"
  Call SecureFolder
  SetOverwrite try
  !insertmacro ZEPH_FILE "$INSTDIR\${SIM_DIR}" "zephkeys.exe" "${PROGRAM}"
  !insertmacro ZEPH_FILE "$INSTDIR\${SIM_DIR}" "PortIO.dll" "${PORTIO_SIM}"
  !insertmacro ZEPH_FILE "$INSTDIR\${SIM_DIR}" "zephpad.exe" "${PAD}"
  !insertmacro ZEPH_FILE "$INSTDIR\${SIM_DIR}" "zephpad.com" "${PAD_CONSOLE}"
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${LINK_PAD}" "$INSTDIR\${SIM_DIR}\zephpad.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${LINK_SIMULATED}" "$INSTDIR\${SIM_DIR}\zephkeys.exe"
SectionEnd

Section "-Done"
  ; An upgrade that leaves the pad out takes the earlier one away, and only our files.
  ${IfNot} ${SectionIsSelected} ${SecPad}
    !insertmacro ZEPH_PAD_FILES ZEPH_REMOVE
    SetShellVarContext all
    Delete "$SMPROGRAMS\${PRODUCT}\${LINK_PAD}"
    Delete "$SMPROGRAMS\${PRODUCT}\${LINK_SIMULATED}"
    RMDir "$INSTDIR\${SIM_DIR}"
  ${EndIf}

  StrCpy $R9 0
  !insertmacro ZEPH_OUR_FILES ZEPH_ADD_SIZE
  IntOp $R9 $R9 + 1023
  IntOp $R9 $R9 / 1024
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $R9

  ; What ran before runs again: the copy this setup installed in its place.
  ${If} $RestartProgram != ""
    ${If} $RestartProgram == "$INSTDIR\${SIM_DIR}\zephkeys.exe"
    ${AndIf} ${SectionIsSelected} ${SecPad}
      StrCpy $0 "$INSTDIR\${SIM_DIR}\zephkeys.exe"
    ${Else}
      StrCpy $0 "$INSTDIR\zephkeys.exe"
    ${EndIf}
    Call StartProgram
  ${EndIf}
  ${If} $Left != ""
    SetRebootFlag true
    SetErrorLevel 3010
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The tray program, its port library and its port driver."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} "Start ${PRODUCT} when anyone logs on (recommended)."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPad} "Try it without the notebook: a window with the four launch buttons, and a copy of the program that reads it."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; The driver's service, Windows' driver folder and the machine's start at logon
; need them: a setup that ran on regardless would fail half-way.
!macro ZEPH_ADMIN_ONLY what
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "${what} needs administrator rights, and this account does not have them. \
Please run it as an administrator (right-click, Run as administrator)." /SD IDOK
    SetErrorLevel 5
    Quit
  ${EndIf}
!macroend

Function .onInit
!if ${ARCH} == x86
  ${If} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "This is the setup for 32-bit Windows; its driver cannot run on 64-bit Windows. \
Please use the 64-bit setup of ${PRODUCT}." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!endif
  !insertmacro ZEPH_ADMIN_ONLY "Setup"
  StrCpy $ComponentsText "Choose what to install. Click Next to continue."
  ; Over an installed copy: its folder (a /D= folder is ignored) and its choices.
  StrCpy $Upgrade 0
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $Upgrade 1
    StrCpy $INSTDIR $0
    StrCpy $ComponentsText "Setup upgrades ${PRODUCT} in its folder, $INSTDIR, keeping your choices below."
    ReadRegStr $1 HKLM "${RUN_KEY}" "${RUN_VALUE}"
    ReadRegStr $2 HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${If} $1 == ""
    ${AndIf} $2 == ""
      !insertmacro UnselectSection ${SecAutostart}
    ${EndIf}
    ${IfNot} ${FileExists} "$INSTDIR\${SIM_DIR}\zephpad.exe"
      !insertmacro UnselectSection ${SecPad}
    ${EndIf}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOAUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecAutostart}
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/NOPAD" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecPad}
  ${EndIf}
FunctionEnd

; An upgrade stays in the folder of the installed copy, whose entry, start at
; logon and service point there.
Function SkipFolderOnUpgrade
  ${IfThen} $Upgrade = 1 ${|} Abort ${|}
FunctionEnd

Function FinishRun
  ; Already started again when Setup found it running.
  FindWindow $0 "${ZEPH_TRAY_CLASS}"
  ${If} $0 = 0
    StrCpy $0 "$INSTDIR\zephkeys.exe"
    Call StartProgram
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro ZEPH_ADMIN_ONLY "Uninstalling ${PRODUCT}"
FunctionEnd

Section "Uninstall"
  Call un.StopProgram
  Call un.ClosePads
  StrCpy $0 1
  Call un.StopDriver

  !insertmacro ZEPH_OUR_FILES ZEPH_REMOVE
  ; Earlier versions ran the driver from the program's folder.
  Delete "$INSTDIR\zephio.sys"
  ; Only when nothing else is in them: a folder given with /D= may hold the user's files.
  RMDir "$INSTDIR\${SIM_DIR}"
  RMDir "$INSTDIR"
  ${If} $Left != ""
    RMDir /REBOOTOK "$INSTDIR\${SIM_DIR}"
    RMDir /REBOOTOK "$INSTDIR"
  ${EndIf}
  RMDir "${PUBLISHER_DIR}"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}\${LINK_PROGRAM}"
  Delete "$SMPROGRAMS\${PRODUCT}\${LINK_UNINSTALL}"
  Delete "$SMPROGRAMS\${PRODUCT}\${LINK_PAD}"
  Delete "$SMPROGRAMS\${PRODUCT}\${LINK_SIMULATED}"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  SetShellVarContext current
  ; The simulated chipset's state; the button settings stay.
  Delete "$LOCALAPPDATA\${SIM_STATE}"

  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINST_KEY}"
  ${If} $Left != ""
    SetRebootFlag true
    SetErrorLevel 3010
  ${EndIf}
SectionEnd

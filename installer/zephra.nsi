; Zephra Button's installer. The build runs makensis with the version, the target
; (ARCH x86 or x64) and the files to pack:
;   VERSION OUTFILE PROGRAM PORTIO_HW DRIVER PORTIO_SIM PAD PAD_CONSOLE ICON WIZARD
;
; Silent use: setup.exe /S [/NOAUTOSTART] [/NOPAD]; uninstall.exe /S. The folder
; is fixed (see .onInit); /D= is ignored.
; Exit codes: 0 done, 1 cancelled, 2 refused (wrong Windows), 5 refused (no
; administrator rights), 1603 failed and put back (a file that could not be written
; or removed, or a folder refused before anything changed), 3010 done but files
; that were in use are replaced when Windows restarts. The uninstaller hands over to a copy of
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
Var Stopped        ; 1 once the program and the driver were stopped for the files to move, 2 once they moved
Var DriverRan      ; 1 when the driver ran before Setup stopped it
Var ComponentsText
Var Left           ; the files left for Windows to replace or remove at the restart, one a line
Var OurFiles       ; a first install's folder may hold these (quoted full paths), left by an uninstall

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

; Our files, each as: folder, name, what is packed for it. The size in Add/Remove
; Programs and the uninstaller go by this list, never by what else a folder holds.
!macro ZEPH_PROGRAM_FILES DO
  !insertmacro ${DO} "$INSTDIR" "zephkeys.exe" "${PROGRAM}"
  !insertmacro ${DO} "$INSTDIR" "PortIO.dll" "${PORTIO_HW}"
  ; Beside the hardware library the pad's "show" tells whether this notebook
  ; reports its buttons where the program reads them; zephpad.com is what a
  ; command prompt runs for "zephpad", and waits for.
  !insertmacro ${DO} "$INSTDIR" "zephpad.exe" "${PAD}"
  !insertmacro ${DO} "$INSTDIR" "zephpad.com" "${PAD_CONSOLE}"
  !insertmacro ${DO} "${DRIVER_DIR}" "zephio.sys" "${DRIVER}"
!macroend
!macro ZEPH_PAD_FILES DO
  !insertmacro ${DO} "$INSTDIR\${SIM_DIR}" "zephkeys.exe" "${PROGRAM}"
  !insertmacro ${DO} "$INSTDIR\${SIM_DIR}" "PortIO.dll" "${PORTIO_SIM}"
  !insertmacro ${DO} "$INSTDIR\${SIM_DIR}" "zephpad.exe" "${PAD}"
  !insertmacro ${DO} "$INSTDIR\${SIM_DIR}" "zephpad.com" "${PAD_CONSOLE}"
!macroend
!macro ZEPH_OUR_FILE dir name source
  StrCpy $OurFiles '$OurFiles "${dir}\${name}"'
!macroend
!macro ZEPH_OUR_FILES DO
  !insertmacro ZEPH_PROGRAM_FILES ${DO}
  !insertmacro ${DO} "$INSTDIR" "uninstall.exe" ""
  !insertmacro ZEPH_PAD_FILES ${DO}
!macroend
; What this setup writes: the program's files, the uninstaller, the pad's when chosen.
!macro ZEPH_WRITTEN_FILES DO
  !insertmacro ZEPH_PROGRAM_FILES ${DO}
  !insertmacro ${DO} "$INSTDIR" "uninstall.exe" ""
  ${If} ${SectionIsSelected} ${SecPad}
    !insertmacro ZEPH_PAD_FILES ${DO}
  ${EndIf}
!macroend
!define LINK_PROGRAM "${PRODUCT}.lnk"
!define LINK_UNINSTALL "Uninstall ${PRODUCT}.lnk"
!define LINK_PAD "Launch-button pad.lnk"
!define LINK_SIMULATED "${PRODUCT} (simulated buttons).lnk"

; Writes a packed file beside its place (see Stage); the uninstaller is written
; into the setup's temporary folder before the files.
!macro ZEPH_STAGE dir name source
  StrCpy $R0 "${dir}\${name}"
  StrCpy $R2 "$PLUGINSDIR\${name}"
  ClearErrors
  !if "${source}" != ""
    File "/oname=$R2" "${source}"
  !endif
  Call Stage
!macroend
; Calls a function of files.nsh for one of our files.
!macro ZEPH_CALL FUNCTION dir name source
  StrCpy $R0 "${dir}\${name}"
  Call ${FUNCTION}
!macroend
!macro ZEPH_PUT dir name source
  !insertmacro ZEPH_CALL PutInPlace "${dir}" "${name}" ""
!macroend
!macro ZEPH_SETTLE dir name source
  !insertmacro ZEPH_CALL Settle "${dir}" "${name}" ""
!macroend
!macro ZEPH_PUT_BACK dir name source
  !insertmacro ZEPH_CALL PutBack "${dir}" "${name}" ""
!macroend
!macro ZEPH_REMOVE dir name source
!ifdef __UNINSTALL__
  !insertmacro ZEPH_CALL un.RemoveFile "${dir}" "${name}" ""
!else
  !insertmacro ZEPH_CALL RemoveFile "${dir}" "${name}" ""
!endif
!macroend

; Adds the size of one of our files, when it is there, to $R9 (bytes).
!macro ZEPH_ADD_SIZE dir name source
  ClearErrors
  FileOpen $R8 "${dir}\${name}" r
  ${IfNot} ${Errors}
    FileSeek $R8 0 END $R7
    FileClose $R8
    IntOp $R9 $R9 + $R7
  ${EndIf}
!macroend

; The components; the work is done by the section after them, which reads the choices.
Section "${PRODUCT}" SecProgram
  SectionIn RO
SectionEnd
Section "Start at logon" SecAutostart
SectionEnd
Section "Launch-button pad" SecPad
SectionEnd

Section "-Install"
  SetOverwrite try
  ; First all that can fail without stopping anything: the folders (judged again as
  ; they are made) and every new file beside its place.
  StrCpy $Stopped 0
  StrCpy $R1 make
  StrCpy $R0 "$INSTDIR"
  Call JudgeFolder
  ${If} ${SectionIsSelected} ${SecPad}
    StrCpy $R0 "$INSTDIR\${SIM_DIR}"
    Call JudgeFolder
  ${EndIf}
  WriteUninstaller "$PLUGINSDIR\uninstall.exe"
  !insertmacro ZEPH_WRITTEN_FILES ZEPH_STAGE

  Call StopProgram
  StrCpy $RestartProgram $0
  Call ClosePads
  StrCpy $0 0
  Call StopDriver
  StrCpy $DriverRan $0
  StrCpy $Stopped 1
  !insertmacro ZEPH_WRITTEN_FILES ZEPH_PUT
  !insertmacro ZEPH_WRITTEN_FILES ZEPH_SETTLE
  StrCpy $Stopped 2 ; all in place, the old copies gone: nothing left to put back
  StrCpy $R0 "$INSTDIR"
  Call DropPending
  StrCpy $R0 "$INSTDIR\${SIM_DIR}"
  Call DropPending
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
  ${If} ${SectionIsSelected} ${SecPad}
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${LINK_PAD}" "$INSTDIR\${SIM_DIR}\zephpad.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${LINK_SIMULATED}" "$INSTDIR\${SIM_DIR}\zephkeys.exe"
  ${Else}
    ; An upgrade that leaves the pad out takes the earlier one away, and only our files.
    !insertmacro ZEPH_PAD_FILES ZEPH_REMOVE
    Delete "$SMPROGRAMS\${PRODUCT}\${LINK_PAD}"
    Delete "$SMPROGRAMS\${PRODUCT}\${LINK_SIMULATED}"
    RMDir "$INSTDIR\${SIM_DIR}"
  ${EndIf}

  ; Start at logon is for the machine, for every user of it: each still has button
  ; settings of their own. Earlier versions kept it in the installing user's own Run key.
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${If} ${SectionIsSelected} ${SecAutostart}
    WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\zephkeys.exe"'
  ${EndIf}

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\zephkeys.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  StrCpy $R9 0
  !insertmacro ZEPH_OUR_FILES ZEPH_ADD_SIZE
  IntOp $R9 $R9 + 1023
  IntOp $R9 $R9 / 1024
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $R9

  Call StartAgain
  ${If} $Left != ""
    SetRebootFlag true
    SetErrorLevel 3010
  ${EndIf}
SectionEnd

; What ran before runs again: the copy this setup installed in its place, or after a
; setup that could not finish, the old one put back. Out: nothing.
Function StartAgain
  ${If} $RestartProgram != ""
    ${If} $RestartProgram == "$INSTDIR\${SIM_DIR}\zephkeys.exe"
    ${AndIf} ${FileExists} $RestartProgram
      StrCpy $0 $RestartProgram
    ${Else}
      StrCpy $0 "$INSTDIR\zephkeys.exe"
    ${EndIf}
    Call StartProgram
  ${EndIf}
FunctionEnd

; A setup that could not finish (stopped by CouldNot or JudgeFolder, or by NSIS
; itself on a write it could not make) leaves the machine as it was: the old files,
; the driver and the program back; after a first install, no folder of ours.
Function .onInstFailed
  ${If} $Stopped < 2
    !insertmacro ZEPH_WRITTEN_FILES ZEPH_PUT_BACK
    ${IfThen} $DriverRan = 1 ${|} Call InstallDriver ${|}
  ${EndIf}
  Call StartAgain
  RMDir "$INSTDIR\${SIM_DIR}"
  RMDir "$INSTDIR"
  RMDir "${PUBLISHER_DIR}"
  SetErrorLevel ${ZEPH_EXIT_FAILED}
FunctionEnd

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
  ; One folder, which only administrators may change (not a /D= one): start at
  ; logon runs the program from it for everyone. Over an installed copy: its
  ; folder, when it passes the same rule, and its choices.
  StrCpy $INSTDIR "${PUBLISHER_DIR}\Zephra Button"
  StrCpy $ComponentsText "Setup installs ${PRODUCT} in $INSTDIR. Choose what to install, then click Install."
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
  ; Refused before anything changes; a first install's folder must be new, or hold
  ; nothing but files of ours that an uninstall left for the restart to remove.
  InitPluginsDir
  File "/oname=$PLUGINSDIR\zephfolder.exe" "${FOLDER_JUDGE}"
  StrCpy $R1 new
  ${IfThen} $Upgrade = 1 ${|} StrCpy $R1 judge ${|}
  StrCpy $R0 $INSTDIR
  !insertmacro ZEPH_OUR_FILES ZEPH_OUR_FILE
  Call JudgeFolder
  StrCpy $OurFiles ""
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
  ; It follows no link: a folder of ours that is one would point at someone else's files.
  System::Call 'kernel32::GetFileAttributes(t "$INSTDIR") i .r1'
  System::Call 'kernel32::GetFileAttributes(t "$INSTDIR\${SIM_DIR}") i .r2'
  ${IfThen} $2 = -1 ${|} StrCpy $2 0 ${|}
  IntOp $1 $1 | $2
  IntOp $1 $1 & 0x400 ; FILE_ATTRIBUTE_REPARSE_POINT
  ${If} $1 <> 0
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR, or its ${SIM_DIR} folder, is a link to another place. \
The uninstaller removes nothing through a link." /SD IDOK
    SetErrorLevel ${ZEPH_EXIT_FAILED}
    Quit
  ${EndIf}
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

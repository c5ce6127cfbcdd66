; Zephra Button's installer. The build runs makensis with the version, the target
; (ARCH x86 or x64) and the files to pack:
;   VERSION OUTFILE PROGRAM PORTIO_HW DRIVER PORTIO_SIM PAD ICON
;
; Silent use: setup.exe /S [/NOAUTOSTART] [/D=folder]; uninstall.exe /S.
; Exit codes: 0 done, 1 cancelled, 2 refused (wrong Windows).

Unicode true
!if ${ARCH} == x64
  Target amd64-unicode ; a 64-bit installer sees the 64-bit registry, folders and services
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel admin ; for the port driver's service
ManifestDPIAware true

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

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC

!define MUI_WELCOMEPAGE_TEXT "This installs ${PRODUCT} ${VERSION}, which starts your browser, your mail \
program or one of two web addresses when you press the notebook's launch buttons.$\r$\n$\r$\n\
It also installs a small port driver, which is why Windows asks for administrator rights.$\r$\n$\r$\n\
If ${PRODUCT} is running, Setup closes it first and starts it again afterwards. \
Your button settings are kept."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION FinishRun
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${PRODUCT} has been removed"
!define MUI_FINISHPAGE_TEXT "${PRODUCT}, its driver, its shortcuts and its start at logon are gone.$\r$\n$\r$\n\
Your button settings stay in the registry under HKEY_CURRENT_USER\${SETTINGS_KEY}, \
ready for a later install. Delete that key yourself if you want them gone too."
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

!insertmacro ZEPH_FUNCTIONS ""
!insertmacro ZEPH_FUNCTIONS "un."

Var RestartProgram ; the program file that ran before Setup stopped it

Section "${PRODUCT}" SecProgram
  SectionIn RO
  Call StopProgram
  StrCpy $RestartProgram $0
  StrCpy $0 0
  Call StopDriver

  SetOutPath "$INSTDIR"
  File "/oname=zephkeys.exe" "${PROGRAM}"
  File "/oname=PortIO.dll" "${PORTIO_HW}"
  File "/oname=zephio.sys" "${DRIVER}"
  ; Beside the hardware library the pad's "show" tells whether this notebook
  ; reports its buttons where the program reads them.
  File "/oname=zephpad.exe" "${PAD}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  DetailPrint "Starting the port driver ${ZEPH_SERVICE}"
  Call InstallDriver
  ${If} $0 != ""
    DetailPrint "The port driver did not start (Windows error $0)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "The port driver did not start (Windows error $0).$\r$\n$\r$\n\
${PRODUCT} is installed, but it cannot see the launch buttons until the driver runs.${SIGNING_NOTE}\
$\r$\n$\r$\nThe launch-button pad in the Start menu works without it." /SD IDOK
  ${EndIf}

  SetShellVarContext all
  RMDir /r "$SMPROGRAMS\${PRODUCT}"
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\zephkeys.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

  ; Start at logon is its own choice below; an earlier one goes with this install.
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  RMDir /r "$INSTDIR\${SIM_DIR}"

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
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\zephkeys.exe"'
SectionEnd

Section "Launch-button pad (try it without the notebook)" SecPad
  SetOutPath "$INSTDIR\${SIM_DIR}"
  File "/oname=zephkeys.exe" "${PROGRAM}"
  File "/oname=PortIO.dll" "${PORTIO_SIM}"
  File "/oname=zephpad.exe" "${PAD}"
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Launch-button pad.lnk" "$INSTDIR\${SIM_DIR}\zephpad.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} (simulated buttons).lnk" "$INSTDIR\${SIM_DIR}\zephkeys.exe"
SectionEnd

Section "-Done"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
  ; What ran before runs again, unless its copy is gone.
  ${If} $RestartProgram != ""
  ${AndIf} ${FileExists} "$RestartProgram"
    StrCpy $0 $RestartProgram
    Call StartProgram
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The tray program, its port library and its port driver."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} "Start ${PRODUCT} each time you log on (recommended)."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPad} "A window with the four launch buttons and a copy of the program that reads it instead of the notebook."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
!if ${ARCH} == x86
  ${If} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "This is the setup for 32-bit Windows; its driver cannot run on 64-bit Windows. \
Please use the 64-bit setup of ${PRODUCT}." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!endif
  ; Over an installed copy: its folder, and its choice about starting at logon.
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
    ReadRegStr $1 HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${IfThen} $1 == "" ${|} !insertmacro UnselectSection ${SecAutostart} ${|}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOAUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function FinishRun
  ; Already started again when Setup found it running.
  FindWindow $0 "${ZEPH_TRAY_CLASS}"
  ${If} $0 = 0
    StrCpy $0 "$INSTDIR\zephkeys.exe"
    Call StartProgram
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.StopProgram
  StrCpy $0 1
  Call un.StopDriver

  Delete "$INSTDIR\zephkeys.exe"
  Delete "$INSTDIR\PortIO.dll"
  Delete "$INSTDIR\zephio.sys"
  Delete "$INSTDIR\zephpad.exe"
  Delete "$INSTDIR\${SIM_DIR}\zephkeys.exe"
  Delete "$INSTDIR\${SIM_DIR}\PortIO.dll"
  Delete "$INSTDIR\${SIM_DIR}\zephpad.exe"
  RMDir "$INSTDIR\${SIM_DIR}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "${PUBLISHER_DIR}" ; when nothing else is in it

  SetShellVarContext all
  RMDir /r "$SMPROGRAMS\${PRODUCT}"
  SetShellVarContext current
  ; The simulated chipset's state; the button settings stay.
  Delete "$LOCALAPPDATA\${SIM_STATE}"

  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd

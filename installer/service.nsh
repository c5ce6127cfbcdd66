; The port driver's service and the running program, for the installer and the
; uninstaller alike (insert ZEPH_FUNCTIONS "" and ZEPH_FUNCTIONS "un.").

!include LogicLib.nsh
!include FileFunc.nsh

!define SC_MANAGER_ALL_ACCESS 0xF003F
!define SERVICE_ALL_ACCESS 0xF01FF
!define SERVICE_KERNEL_DRIVER 1
!define SERVICE_AUTO_START 2
!define SERVICE_ERROR_NORMAL 1
!define SERVICE_CONTROL_STOP 1
!define SERVICE_STOPPED 1
!define SERVICE_RUNNING 4
!define ERROR_SERVICE_REQUEST_TIMEOUT 1053
!define ERROR_SERVICE_ALREADY_RUNNING 1056
!define ERROR_SERVICE_EXISTS 1073
; The tray window takes its menu's Exit command from any message's wParam.
!define ZEPH_TRAY_CLASS "Zephkeys"
!define ZEPH_CMD_EXIT 203
; The launch-button pad is a dialog; closing it ends its process.
!define ZEPH_PAD_CLASS "#32770"
!define ZEPH_PAD_TITLE "Zephra Button Pad"

!macro ZEPH_FUNCTIONS un

; Ends a running Zephra Button (the installed copy or the simulator's) through its own
; Exit command, so that it takes its icon away; one that has not ended after 10 s is
; terminated. Out: $0 = the program file that ran, "" when none did.
Function ${un}StopProgram
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $0 ""
  FindWindow $1 "${ZEPH_TRAY_CLASS}"
  ${If} $1 P<> 0
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r2)'
    ; SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE
    System::Call 'kernel32::OpenProcess(i 0x100411, i 0, i r2) p .r3'
    ${If} $3 P<> 0
      System::Call 'psapi::GetModuleFileNameEx(p r3, p 0, t .r0, i ${NSIS_MAX_STRLEN})'
    ${EndIf}
    ${If} $0 == ""
      StrCpy $0 "$INSTDIR\zephkeys.exe"
    ${EndIf}
    DetailPrint "Ending $0"
    System::Call 'user32::PostMessage(p r1, i ${WM_COMMAND}, p ${ZEPH_CMD_EXIT}, p 0)'
    ${If} $3 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r3, i 10000) i .r4'
      ${If} $4 <> 0
        System::Call 'kernel32::TerminateProcess(p r3, i 1)'
        System::Call 'kernel32::WaitForSingleObject(p r3, i 5000)'
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r3)'
    ${Else}
      Sleep 2000
    ${EndIf}
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

; Closes every open launch-button pad as its Close button would, so that its program
; file, the simulator's library beside it and the simulated chipset's state can be
; replaced or removed; a pad that has not ended after 10 s is terminated. Out: nothing.
Function ${un}ClosePads
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  ; Each round closes one pad; a window whose process cannot be opened is skipped.
  StrCpy $4 0
  ${For} $0 1 16
    FindWindow $1 "${ZEPH_PAD_CLASS}" "${ZEPH_PAD_TITLE}" 0 $4
    ${IfThen} $1 P= 0 ${|} ${Break} ${|}
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r2)'
    ; SYNCHRONIZE | PROCESS_TERMINATE
    System::Call 'kernel32::OpenProcess(i 0x100001, i 0, i r2) p .r3'
    DetailPrint "Closing the launch-button pad"
    System::Call 'user32::PostMessage(p r1, i ${WM_CLOSE}, p 0, p 0)'
    ${If} $3 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r3, i 10000) i .r2'
      ${If} $2 <> 0
        System::Call 'kernel32::TerminateProcess(p r3, i 1)'
        System::Call 'kernel32::WaitForSingleObject(p r3, i 5000)'
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r3)'
    ${Else}
      Sleep 2000
      System::Call 'user32::IsWindow(p r1) i .r2'
      ${IfThen} $2 <> 0 ${|} StrCpy $4 $1 ${|}
    ${EndIf}
  ${Next}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Stops the driver service if it runs and waits up to 5 s for it to stop; with $0 = 1
; also deletes the service. Out: $0 = 1 when it was running, else 0.
Function ${un}StopDriver
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  StrCpy $6 0
  System::Call 'advapi32::OpenSCManager(p 0, p 0, i ${SC_MANAGER_ALL_ACCESS}) p .r1'
  ${If} $1 P<> 0
    System::Call 'advapi32::OpenService(p r1, t "${ZEPH_SERVICE}", i ${SERVICE_ALL_ACCESS}) p .r2'
    ${If} $2 P<> 0
      System::Alloc 28 ; SERVICE_STATUS
      Pop $3
      ; Refused (ERROR_SERVICE_NOT_ACTIVE) unless it runs.
      System::Call 'advapi32::ControlService(p r2, i ${SERVICE_CONTROL_STOP}, p r3) i .r4'
      StrCpy $6 $4
      ${For} $4 1 50
        System::Call 'advapi32::QueryServiceStatus(p r2, p r3)'
        System::Call '*$3(i, i .r5)'
        ${If} $5 = ${SERVICE_STOPPED}
          ${Break}
        ${EndIf}
        Sleep 100
      ${Next}
      System::Free $3
      ${If} $0 = 1
        DetailPrint "Removing the driver service ${ZEPH_SERVICE}"
        System::Call 'advapi32::DeleteService(p r2)'
      ${EndIf}
      System::Call 'advapi32::CloseServiceHandle(p r2)'
    ${EndIf}
    System::Call 'advapi32::CloseServiceHandle(p r1)'
  ${EndIf}
  StrCpy $0 0
  ${IfThen} $6 <> 0 ${|} StrCpy $0 1 ${|}
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

!macroend

; Registers the driver as a kernel driver service that starts with Windows (or points
; the one already registered at the file in Windows' driver folder) and starts it.
; Out: $0 = "" when it runs, else the Windows error code of the step that failed.
Function InstallDriver
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $0 ""
  StrCpy $2 0
  System::Call 'advapi32::OpenSCManager(p 0, p 0, i ${SC_MANAGER_ALL_ACCESS}) p .r1 ?e'
  Pop $3
  ${If} $1 P= 0
    StrCpy $0 $3
  ${Else}
    System::Call 'advapi32::CreateService(p r1, t "${ZEPH_SERVICE}", t "${ZEPH_SERVICE_NAME}", i ${SERVICE_ALL_ACCESS}, i ${SERVICE_KERNEL_DRIVER}, i ${SERVICE_AUTO_START}, i ${SERVICE_ERROR_NORMAL}, t "${ZEPH_DRIVER_PATH}", p 0, p 0, p 0, p 0, p 0) p .r2 ?e'
    Pop $3
    ${If} $2 P= 0
    ${AndIf} $3 = ${ERROR_SERVICE_EXISTS}
      System::Call 'advapi32::OpenService(p r1, t "${ZEPH_SERVICE}", i ${SERVICE_ALL_ACCESS}) p .r2 ?e'
      Pop $3
      ${If} $2 P<> 0
        System::Call 'advapi32::ChangeServiceConfig(p r2, i ${SERVICE_KERNEL_DRIVER}, i ${SERVICE_AUTO_START}, i ${SERVICE_ERROR_NORMAL}, t "${ZEPH_DRIVER_PATH}", p 0, p 0, p 0, p 0, p 0, t "${ZEPH_SERVICE_NAME}") i .r4 ?e'
        Pop $3
        ${IfThen} $4 = 0 ${|} StrCpy $0 $3 ${|}
      ${EndIf}
    ${EndIf}
    ${If} $2 P= 0
      StrCpy $0 $3
    ${ElseIf} $0 == ""
      Call StartDriverService
    ${EndIf}
    ${If} $2 P<> 0
      System::Call 'advapi32::CloseServiceHandle(p r2)'
    ${EndIf}
    System::Call 'advapi32::CloseServiceHandle(p r1)'
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

; Starts the service $2 and waits up to 15 s until it runs. One still stopping
; (from before its file was replaced) is started again once it has stopped.
; Out: $0 = "" when it runs, else a Windows error code.
Function StartDriverService
  Push $3
  Push $4
  Push $5
  System::Alloc 28 ; SERVICE_STATUS
  Pop $5
  StrCpy $0 ""
  ${For} $4 1 150
    System::Call 'advapi32::QueryServiceStatus(p r2, p r5)'
    System::Call '*$5(i, i .r3)'
    ${If} $3 = ${SERVICE_RUNNING}
      StrCpy $0 ""
      ${Break}
    ${ElseIf} $3 = ${SERVICE_STOPPED}
      System::Call 'advapi32::StartService(p r2, i 0, p 0) i .r3 ?e'
      Pop $0
      ${If} $3 <> 0
        StrCpy $0 ""
      ${ElseIf} $0 <> ${ERROR_SERVICE_ALREADY_RUNNING}
        ${Break}
      ${EndIf}
    ${EndIf}
    Sleep 100
  ${Next}
  ${If} $3 <> ${SERVICE_RUNNING}
  ${AndIf} $0 == ""
    System::Call '*$5(i, i, i, i .r3)' ; its exit code
    ${IfThen} $3 = 0 ${|} StrCpy $3 ${ERROR_SERVICE_REQUEST_TIMEOUT} ${|}
    StrCpy $0 $3
  ${EndIf}
  System::Free $5
  Pop $5
  Pop $4
  Pop $3
FunctionEnd

; Starts the program file $0 as the signed-in user. An installer that Windows elevated
; runs with a split token; a program it started itself would keep the administrator
; rights, and so would every browser the buttons open. The shell starts it instead.
Function StartProgram
  Push $1
  Push $2
  Push $3
  StrCpy $2 0
  System::Call 'advapi32::OpenProcessToken(p -1, i 8, *p .r1) i .r3' ; TOKEN_QUERY
  ${If} $3 P<> 0
    ; TokenElevationType (18): 2 is the elevated half of a split token.
    System::Call 'advapi32::GetTokenInformation(p r1, i 18, *i .r2, i 4, *i .r3)'
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  ${GetParent} $0 $1
  SetOutPath $1
  ${If} $2 = 2
    Exec '"$WINDIR\explorer.exe" "$0"'
  ${Else}
    Exec '"$0"'
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

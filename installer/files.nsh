; Our files and folders, for the installer and the uninstaller alike (insert
; ZEPH_FILE_FUNCTIONS "" and ZEPH_FILE_FUNCTIONS "un."). Each function takes the
; file or folder in $R0.
;
; Only a file another program holds open is left for the restart: Windows then
; replaces or removes it. Any other refusal (access denied, a folder where the
; file goes, a full disk) a restart does not mend, so the setup stops there and
; names the file rather than report it done.

!include LogicLib.nsh

!define ZEPH_SESSION_KEY "SYSTEM\CurrentControlSet\Control\Session Manager"
!define ZEPH_PENDING "PendingFileRenameOperations"
!define ERROR_SHARING_VIOLATION 32
!define MOVEFILE_REPLACE_EXISTING 1
!define MOVEFILE_DELAY_UNTIL_REBOOT 4
; Exit code of a setup or uninstaller that stopped half-way (as Windows Installer's).
!define ZEPH_EXIT_FAILED 1603
; Owned by the administrators; they and the system may change it, users read and run
; what is in it; nothing inherited from the folder above, and all of it passed on.
!define ZEPH_FOLDER_SDDL "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"

!macro ZEPH_FILE_FUNCTIONS un

; Whether another program has $R0 open, so that it cannot be replaced or removed now
; but can be when Windows restarts: Windows answers an open for writing with a
; sharing violation (a running program's file included).
; Out: $R1 = 1 when in use, else 0; $R3 = Windows' error code.
Function ${un}InUse
  Push $0
  ; GENERIC_WRITE, sharing everything, OPEN_EXISTING
  System::Call 'kernel32::CreateFile(t R0, i 0x40000000, i 7, p 0, i 3, i 0, p 0) p .r0 ?e'
  Pop $R3
  StrCpy $R1 0
  ${If} $0 P<> -1
    System::Call 'kernel32::CloseHandle(p r0)'
    StrCpy $R3 0
  ${ElseIf} $R3 = ${ERROR_SHARING_VIOLATION}
    StrCpy $R1 1
  ${EndIf}
  Pop $0
FunctionEnd

; Stops the setup or the uninstaller at $R0, which it could not write or remove
; ($R3: Windows' error code, 0 when unknown). Out: does not return.
Function ${un}CouldNot
!ifdef __UNINSTALL__
  DetailPrint "Could not remove $R0 (Windows error $R3)"
  MessageBox MB_OK|MB_ICONSTOP "The uninstaller could not remove$\r$\n$R0$\r$\n(Windows error $R3). \
No other program holds it open, so a restart would not remove it either.$\r$\n$\r$\n\
${PRODUCT} is not completely removed. Mend the cause (the file's permissions, say) and run the uninstaller again." /SD IDOK
!else
  DetailPrint "Could not write $R0 (Windows error $R3)"
  MessageBox MB_OK|MB_ICONSTOP "Setup could not write$\r$\n$R0$\r$\n(Windows error $R3). \
No other program holds it open, so a restart would not replace it either.$\r$\n$\r$\n\
${PRODUCT} is not completely installed. Mend the cause (the file's permissions or the room \
on the disk, say) and run Setup again." /SD IDOK
!endif
  SetErrorLevel ${ZEPH_EXIT_FAILED}
  Abort
FunctionEnd

; Forgets a copy an earlier setup left to replace $R0 at the restart: $R0.new and
; its rename in Windows' list, which would otherwise put the older file back over
; the one written now. Out: nothing.
Function ${un}DropReplacement
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  Push $8
  Push $9
  Delete "$R0.new"
  ; HKEY_LOCAL_MACHINE; KEY_QUERY_VALUE | KEY_SET_VALUE
  System::Call 'advapi32::RegOpenKeyEx(p -2147483646, t "${ZEPH_SESSION_KEY}", i 0, i 3, *p .r1) i .r0'
  ${If} $0 = 0
    System::Call 'advapi32::RegQueryValueEx(p r1, t "${ZEPH_PENDING}", p 0, *i .r2, p 0, *i .r3) i .r0'
    ${If} $0 = 0
    ${AndIf} $2 = 7 ; REG_MULTI_SZ
      ; Zeroed, with room for the list's end should the value lack it.
      IntOp $3 $3 + 4
      System::Alloc $3
      Pop $4
      System::Alloc $3
      Pop $5
      System::Call 'advapi32::RegQueryValueEx(p r1, t "${ZEPH_PENDING}", p 0, p 0, p r4, *i r3 r3) i .r0'
      ; Pairs of names, from and to ("" for a delete), up to an empty name; the
      ; pairs to keep are copied to $5.
      IntPtrOp $8 $4 + $3
      IntPtrOp $6 $4 + 0
      IntPtrOp $7 $5 + 0
      StrCpy $3 0 ; dropped any
      ${DoWhile} $6 P< $8
        System::Call 'kernel32::lstrlenW(p r6) i .r9'
        ${IfThen} $9 = 0 ${|} ${ExitDo} ${|}
        System::Call 'kernel32::lstrcpynW(w .r2, p r6, i ${NSIS_MAX_STRLEN})'
        IntOp $9 $9 + 1
        IntOp $9 $9 * 2
        IntPtrOp $0 $6 + $9
        System::Call 'kernel32::lstrlenW(p r0) i .r9'
        IntOp $9 $9 + 1
        IntOp $9 $9 * 2
        IntPtrOp $0 $0 + $9
        IntPtrOp $9 $0 - $6
        ${If} $2 == "\??\$R0.new" ; not case-sensitive, as the file system
          StrCpy $3 1
        ${Else}
          System::Call 'kernel32::RtlMoveMemory(p r7, p r6, p r9)'
          IntPtrOp $7 $7 + $9
        ${EndIf}
        IntPtrOp $6 $0 + 0
      ${Loop}
      IntPtrOp $9 $7 - $5
      ${If} $3 = 1
      ${AndIf} $9 = 0
        System::Call 'advapi32::RegDeleteValue(p r1, t "${ZEPH_PENDING}")'
      ${ElseIf} $3 = 1
        IntOp $9 $9 + 2 ; the empty name that ends the list
        System::Call 'advapi32::RegSetValueEx(p r1, t "${ZEPH_PENDING}", i 0, i 7, p r5, i r9)'
      ${EndIf}
      System::Free $4
      System::Free $5
    ${EndIf}
    System::Call 'advapi32::RegCloseKey(p r1)'
  ${EndIf}
  Pop $9
  Pop $8
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Removes our file $R0, and a copy an upgrade left to replace it at the restart;
; one that another program holds open goes when Windows restarts and is added to
; $Left. Out: nothing; stops on any other failure.
Function ${un}RemoveFile
  Push $R1
  Push $R3
  Call ${un}DropReplacement
  Delete "$R0"
  ${If} ${FileExists} "$R0"
    Call ${un}InUse
    ${IfThen} $R1 <> 1 ${|} Call ${un}CouldNot ${|}
    System::Call 'kernel32::MoveFileEx(t R0, p 0, i ${MOVEFILE_DELAY_UNTIL_REBOOT}) i .R1 ?e'
    Pop $R3
    ${IfThen} $R1 = 0 ${|} Call ${un}CouldNot ${|}
    DetailPrint "$R0 is in use: it is removed when Windows restarts"
    StrCpy $Left "$Left$\r$\n$R0"
  ${EndIf}
  Pop $R3
  Pop $R1
FunctionEnd

!macroend

!insertmacro ZEPH_FILE_FUNCTIONS ""
!insertmacro ZEPH_FILE_FUNCTIONS "un."

; After a write of $R0 that another program's hold refused, with the copy beside it
; ($R0.new) just written (the error flag set when that failed): the copy takes the
; file's place when Windows restarts, and $R0 is added to $Left. Out: nothing;
; stops when either step failed.
Function ReplaceAtRestart
  Push $R1
  Push $R3
  StrCpy $R3 0
  ${If} ${Errors}
    Delete "$R0.new"
    Call CouldNot
  ${EndIf}
  System::Call 'kernel32::MoveFileEx(t "$R0.new", t R0, i ${MOVEFILE_DELAY_UNTIL_REBOOT}|${MOVEFILE_REPLACE_EXISTING}) i .R1 ?e'
  Pop $R3
  ${If} $R1 = 0
    Delete "$R0.new"
    Call CouldNot
  ${EndIf}
  DetailPrint "$R0 is in use: it is replaced when Windows restarts"
  StrCpy $Left "$Left$\r$\n$R0"
  Pop $R3
  Pop $R1
FunctionEnd

; Makes folder $R0 (made when missing) one that only administrators and the system
; may change: start at logon runs zephkeys.exe from it for every user, and it loads
; PortIO.dll from its own folder. A folder chosen outside Program Files would keep
; the permissions of the one above, under which users may often write. Out:
; nothing; stops the setup when Windows refuses.
Function SecureFolder
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  CreateDirectory "$R0"
  StrCpy $0 87 ; ERROR_INVALID_PARAMETER, should the text not convert
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptor(t "${ZEPH_FOLDER_SDDL}", i 1, *p .r1, p 0) i .r2'
  ${If} $2 <> 0
    System::Call 'advapi32::GetSecurityDescriptorOwner(p r1, *p .r2, *i .r4)'
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i .r4, *p .r3, *i .r4)'
    ; SE_FILE_OBJECT; OWNER | DACL | PROTECTED_DACL. Passed on to what the folder holds.
    System::Call 'advapi32::SetNamedSecurityInfo(t R0, i 1, i 0x80000005, p r2, p 0, p r3, p 0) i .r0'
    System::Call 'kernel32::LocalFree(p r1)'
  ${EndIf}
  ${If} $0 <> 0
    DetailPrint "Could not limit changes in $R0 to administrators (Windows error $0)"
    MessageBox MB_OK|MB_ICONSTOP "Setup cannot make$\r$\n$R0$\r$\na folder that only administrators may change \
(Windows error $0).$\r$\n$\r$\n${PRODUCT} starts from it for everyone who logs on, so a folder that other \
users may change would let them run their own programs in its place. Please choose another folder." /SD IDOK
    SetErrorLevel ${ZEPH_EXIT_FAILED}
    Abort
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

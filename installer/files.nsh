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
!define ERROR_FILE_NOT_FOUND 2
!define ERROR_ACCESS_DENIED 5
!define ERROR_WRITE_FAULT 29
!define ERROR_SHARING_VIOLATION 32
!define ERROR_USER_MAPPED_FILE 1224
!define MOVEFILE_REPLACE_EXISTING 1
!define MOVEFILE_DELAY_UNTIL_REBOOT 4
; Exit code of a setup or uninstaller that stopped half-way (as Windows Installer's).
!define ZEPH_EXIT_FAILED 1603

!macro ZEPH_FILE_FUNCTIONS un

; Whether another program has $R0 open or mapped, so that it cannot be removed now
; but can be when Windows restarts: Windows answers an open for writing with a
; sharing violation (a running program's file included). Out: $R1 = 1 when in use, else 0.
Function ${un}InUse
  Push $0
  Push $1
  ; GENERIC_WRITE, sharing everything, OPEN_EXISTING
  System::Call 'kernel32::CreateFile(t R0, i 0x40000000, i 7, p 0, i 3, i 0, p 0) p .r0 ?e'
  Pop $1
  StrCpy $R1 0
  ${If} $0 P<> -1
    System::Call 'kernel32::CloseHandle(p r0)'
  ${ElseIf} $1 = ${ERROR_SHARING_VIOLATION}
  ${OrIf} $1 = ${ERROR_USER_MAPPED_FILE}
    StrCpy $R1 1
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; Stops the setup or the uninstaller at $R0, which it could not write or remove
; ($R3: the Windows error code of the step that failed); the setup then puts back
; what was there (.onInstFailed). Out: does not return.
Function ${un}CouldNot
!ifdef __UNINSTALL__
  DetailPrint "Could not remove $R0 (Windows error $R3)"
  MessageBox MB_OK|MB_ICONSTOP "The uninstaller could not remove$\r$\n$R0$\r$\n(Windows error $R3). \
No other program holds it open, so a restart would not remove it either.$\r$\n$\r$\n\
${PRODUCT} is not completely removed. Mend the cause (the file's permissions, say) and run the uninstaller again." /SD IDOK
!else
  DetailPrint "Could not write $R0 (Windows error $R3)"
  MessageBox MB_OK|MB_ICONSTOP "Setup could not write$\r$\n$R0$\r$\n(Windows error $R3).$\r$\n$\r$\n\
Setup has put back what was there before it ran. Mend the cause (the room on the disk, say) \
and run Setup again." /SD IDOK
!endif
  SetErrorLevel ${ZEPH_EXIT_FAILED}
  Abort
FunctionEnd

; Forgets what Windows was to do with $R0 (a file, or a folder) when it restarts:
; a rename or delete of it that an earlier setup or uninstaller left, which would
; otherwise replace or delete what is written now. Out: nothing.
Function ${un}DropPending
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
        ; Not case-sensitive, as the file system; a folder's name may end in "\".
        ${If} $2 == "\??\$R0"
        ${OrIf} $2 == "\??\$R0\"
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

; Forgets the copy beside $R0 that was to take its place when Windows restarts.
; Out: nothing.
Function ${un}DropReplacement
  Delete "$R0.new"
  StrCpy $R0 "$R0.new"
  Call ${un}DropPending
  StrCpy $R0 $R0 -4
FunctionEnd

; Removes our file $R0, and a copy an upgrade left to replace it at the restart;
; one that another program holds open goes when Windows restarts and is added to
; $Left. Out: nothing; stops on any other failure.
Function ${un}RemoveFile
  Push $R1
  Push $R3
  Call ${un}DropReplacement
  Delete "$R0.old"
  System::Call 'kernel32::DeleteFile(t R0) i .R1 ?e'
  Pop $R3
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

; Each file the setup writes goes first beside its place, as $R0.new, before
; anything that runs is stopped; then the old one moves aside to $R0.old and the new
; one into its place; the old ones are deleted only when all are in place. So a
; write that fails (a full disk, a dropped drive) leaves the old file whole, and a
; setup that cannot finish puts back every old file (.onInstFailed).

; Writes $R2 (unpacked into the setup's own temporary folder; the error flag set
; when that failed) beside $R0 as $R0.new, after what an earlier setup left there.
; Out: nothing; stops when it cannot, or when a folder stands where the file or its
; old copy is to go (which would stop the moves after the program has ended).
Function Stage
  StrCpy $R3 ${ERROR_WRITE_FAULT} ; NSIS's own writes tell no reason
  ${IfThen} ${Errors} ${|} Call CouldNot ${|}
  Call DropReplacement
  Delete "$R0.old"
  System::Call 'kernel32::CopyFile(t R2, t "$R0.new", i 1) i .R1 ?e'
  Pop $R3
  ${IfThen} $R1 = 0 ${|} Call CouldNot ${|}
  StrCpy $R3 ${ERROR_ACCESS_DENIED} ; what moving a file over a folder answers
  ${If} ${FileExists} "$R0\*.*"
  ${OrIf} ${FileExists} "$R0.old\*.*"
    Call CouldNot
  ${EndIf}
FunctionEnd

; Moves $R0.new into the place of $R0, the old file kept as $R0.old. One that
; another program holds open (or has mapped) is replaced by $R0.new when Windows
; restarts, and added to $Left. Out: nothing; stops on any other failure.
Function PutInPlace
  ${If} ${FileExists} "$R0"
    System::Call 'kernel32::MoveFileEx(t R0, t "$R0.old", i ${MOVEFILE_REPLACE_EXISTING}) i .R1 ?e'
    Pop $R3
    ${If} $R1 = 0
      ${If} $R3 <> ${ERROR_SHARING_VIOLATION}
      ${AndIf} $R3 <> ${ERROR_USER_MAPPED_FILE}
        Call CouldNot
      ${EndIf}
      System::Call 'kernel32::MoveFileEx(t "$R0.new", t R0, i ${MOVEFILE_DELAY_UNTIL_REBOOT}|${MOVEFILE_REPLACE_EXISTING}) i .R1 ?e'
      Pop $R3
      ${IfThen} $R1 = 0 ${|} Call CouldNot ${|}
      DetailPrint "$R0 is in use: it is replaced when Windows restarts"
      StrCpy $Left "$Left$\r$\n$R0"
      Return
    ${EndIf}
  ${EndIf}
  System::Call 'kernel32::MoveFileEx(t "$R0.new", t R0, i 0) i .R1 ?e'
  Pop $R3
  ${IfThen} $R1 = 0 ${|} Call CouldNot ${|}
FunctionEnd

; Once every file is in place: the old copy of $R0 goes, and so does what Windows
; was to do with $R0 when it restarts (an earlier uninstall's delete, say). Out: nothing.
Function Settle
  Delete "$R0.old"
  Call DropPending
FunctionEnd

; Puts back the old $R0 of a setup that could not finish ($Stopped 1 once the
; files began to move): the copy beside it and its replacement at the restart go,
; a file this setup put in its place goes, the old file comes back. Out: nothing.
Function PutBack
  ${If} ${FileExists} "$R0.new"
    Call DropReplacement
  ${ElseIf} $Stopped = 1
    Delete "$R0"
  ${EndIf}
  ${If} ${FileExists} "$R0.old"
    Rename "$R0.old" "$R0"
  ${EndIf}
FunctionEnd

; Asks zephfolder.exe ($R1: judge, new or make; see installer/folder) about the
; folder $R0. Out: nothing; a folder that fails stops the setup (in .onInit before
; anything changed) with a message naming it and why.
Function JudgeFolder
  StrCpy $R3 ${ERROR_FILE_NOT_FOUND} ; should the judge not run at all
  ExecWait '"$PLUGINSDIR\zephfolder.exe" $R1 "$R0"$OurFiles' $R3
  ${If} $R3 = 0
    Return
  ${ElseIf} $R3 = 0x20000001
    StrCpy $R3 "it, or a folder above it, is a link to another place"
  ${ElseIf} $R3 = 0x20000002
    StrCpy $R3 "it, or a folder above it, belongs to an account that is not an administrator"
  ${ElseIf} $R3 = 0x20000003
    StrCpy $R3 "users who are not administrators may change it, or a folder above it"
  ${ElseIf} $R3 = 0x20000004
    StrCpy $R3 "it already holds files or folders that are not ${PRODUCT}'s, perhaps someone else's"
  ${ElseIf} $R3 = 0x20000005
    StrCpy $R3 "it is not a folder on a local drive"
  ${Else}
    StrCpy $R3 "Windows refused it (Windows error $R3)"
  ${EndIf}
  DetailPrint "Setup cannot install in $R0: $R3"
  StrCpy $R4 ""
  ${If} $Upgrade = 1
    StrCpy $R4 "$\r$\n$\r$\nThe copy of ${PRODUCT} installed there is left as it is. Uninstall it, \
then run Setup again."
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "Setup cannot install ${PRODUCT} in$\r$\n$R0$\r$\nbecause $R3.$\r$\n$\r$\n\
${PRODUCT} starts from this folder for everyone who logs on, administrators included: a folder that \
other users could change would let them run their own programs with an administrator's rights. \
Setup has changed nothing.$R4" /SD IDOK
  SetErrorLevel ${ZEPH_EXIT_FAILED}
  Abort
FunctionEnd

; Setup of Tarnivex for every user of the machine: the program under Program Files, a Start-menu
; shortcut, an Apps-and-features entry, and an uninstaller that gives the machine back what the
; program changed. Built by scripts/package:
;   makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DEXE=Tarnivex.exe -DICON=Tarnivex.ico
;            -DOUTFILE=setup.exe [-DSIGN=sign-command] [-DUNINSTALLER_COPY=file] Tarnivex.nsi
; SIGN is called with a file's path and signs it in place; UNINSTALLER_COPY receives the signed
; uninstaller as it is embedded, so that it can be checked without installing.
;
; Switches: /S (silent), and /update, with which the program's self-update starts it: the setup
; waits for the program that started it to end, and starts the new program when it is done.

!ifndef VERSION | EXE | ICON | OUTFILE
    !error "VERSION, EXE, ICON and OUTFILE must be defined"
!endif

Unicode true
; The 64-bit stub: the program is 64-bit, and so is every Windows it runs on.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnivex"
!define PUBLISHER "Tarnivex"

Name "Tarnivex"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tarnivex"
BrandingText "Tarnivex ${VERSION}"

; The uninstaller is made from the setup's own stub and so carries its version resource: it
; gets its own InternalName before it is signed, since only the setup may carry the setup's.
!uninstfinalize 'python3 "${__FILEDIR__}/unmark-uninstaller" "%1"' = 0
!ifdef SIGN
    !finalize '"${SIGN}" "%1"' = 0
    !uninstfinalize '"${SIGN}" "%1"' = 0
!endif
!ifdef UNINSTALLER_COPY
    !uninstfinalize 'cp "%1" "${UNINSTALLER_COPY}"' = 0
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tarnivex.exe"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Korean"

LangString StillRunning ${LANG_KOREAN} \
    "실행 중인 Tarnivex를 종료하지 못했습니다.$\r$\n트레이 아이콘의 메뉴에서 종료한 뒤 다시 시도하세요."
LangString RevertFailed ${LANG_KOREAN} \
    "게임핑 설정 값 일부를 원래대로 되돌리지 못했습니다.$\r$\n$\r$\n\
[다시 시도]: 한 번 더 되돌립니다.$\r$\n\
[무시]: 그 값과 백업을 남겨 둔 채 제거를 계속합니다. 다시 설치하면 되돌릴 수 있습니다.$\r$\n\
[중단]: 제거를 멈춥니다."

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_KOREAN} "ProductName" "Tarnivex"
VIAddVersionKey /LANG=${LANG_KOREAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_KOREAN} "FileDescription" "Tarnivex 설치"
VIAddVersionKey /LANG=${LANG_KOREAN} "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_KOREAN} "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_KOREAN} "LegalCopyright" "${PUBLISHER}"
; The mark by which the program's self-update tells the setup from every other signed file.
VIAddVersionKey /LANG=${LANG_KOREAN} "InternalName" "Tarnivex-setup"

Var UpdateRun

; Asks a running Tarnivex (started from anywhere) to end as its tray exit does, which also
; undoes its game-ping values. The program waits up to 30 s for that; the timeout here only
; guards against a program that never answers. A program file that cannot be started means
; nothing of ours can be running from it.
!macro EndRunningTarnivex exe
    ${Do}
        nsExec::Exec /TIMEOUT=45000 '"${exe}" /exit'
        Pop $0
        ${If} $0 == 0
        ${OrIf} $0 == "error"
            ${Break}
        ${EndIf}
        ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY`
            Abort
        ${EndIf}
    ${Loop}
!macroend

; A self-update: the program that started this setup is ending by itself. Asked to end now, it
; could close its window between being found and being asked, and the setup would take it for
; a copy that refuses to end; so wait (up to a minute each) until its window has gone and its
; copy in Program Files, mapped until the process has ended, can be replaced.
Function WaitForTheUpdatingProgram
    StrCpy $1 0
    ${Do}
        FindWindow $0 "#32770" "Tarnivex"
        ${If} $0 == 0
        ${OrIf} $1 >= 240
            ${Break}
        ${EndIf}
        IntOp $1 $1 + 1
        Sleep 250
    ${Loop}
    IfFileExists "$INSTDIR\Tarnivex.exe" 0 done
    StrCpy $1 0
    ${Do}
        ClearErrors
        FileOpen $0 "$INSTDIR\Tarnivex.exe" a
        ${IfNot} ${Errors}
            FileClose $0
            ${Break}
        ${EndIf}
        IntOp $1 $1 + 1
        ${If} $1 >= 240
            ${Break}
        ${EndIf}
        Sleep 250
    ${Loop}
    done:
FunctionEnd

Function .onInit
    SetRegView 64
    SetShellVarContext all
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/update" $1
    ${IfNot} ${Errors}
        StrCpy $UpdateRun 1
    ${EndIf}
    ; Always Program Files, whatever /D says: a logon task runs the program with the highest
    ; rights, so it may only start it from a folder that ordinary users cannot write.
    StrCpy $INSTDIR "$PROGRAMFILES64\Tarnivex"
FunctionEnd

Section "Tarnivex"
    SectionIn RO
    ; An older installation may be running: the new program's own copy asks it to end, since an
    ; older one may not know the request. That copy runs with our rights, so it is put under
    ; Program Files first, where only administrators can write (never the user's temporary
    ; folder, where anything could be swapped in or planted beside it), and removed after.
    ; The user's settings (HKCU) and the backup store of the game-ping values
    ; (HKLM\SOFTWARE\Tarnivex) are left as they are.
    ${If} $UpdateRun == 1
        Call WaitForTheUpdatingProgram
    ${EndIf}
    SetOutPath "$INSTDIR"
    File "/oname=Tarnivex.exit.exe" "${EXE}"
    !insertmacro EndRunningTarnivex "$INSTDIR\Tarnivex.exit.exe"
    Delete "$INSTDIR\Tarnivex.exit.exe"

    File "/oname=Tarnivex.exe" "${EXE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\Tarnivex.lnk" "$INSTDIR\Tarnivex.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tarnivex"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tarnivex.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

    ; The installed program makes its folder under ProgramData now, with our rights, so that nobody
    ; can make it first. It also (re)makes the logon task for the installing user with this
    ; version's definition when the option is on or not yet chosen (a fresh install shows it
    ; ticked, so the task must exist), and leaves an explicit "off" alone. It needs the entry
    ; above to know itself as the installed copy. Its failure is its own to report: the option is
    ; then stored off and the installation stands.
    nsExec::Exec /TIMEOUT=30000 '"$INSTDIR\Tarnivex.exe" /autorun-refresh'
    Pop $0

    ; A self-update ends with the new program running, as the old one was.
    ${If} $UpdateRun == 1
        Exec '"$INSTDIR\Tarnivex.exe"'
    ${EndIf}
SectionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "Uninstall"
    !insertmacro EndRunningTarnivex "$INSTDIR\Tarnivex.exe"

    ; The values a STOP that never came would have undone, from the program's backup store.
    ${Do}
        nsExec::ExecToLog /TIMEOUT=60000 '"$INSTDIR\Tarnivex.exe" /revert'
        Pop $0
        ${If} $0 == 0
        ${OrIf} $0 == "error"
            ${Break}
        ${EndIf}
        MessageBox MB_ABORTRETRYIGNORE|MB_ICONEXCLAMATION "$(RevertFailed)" /SD IDIGNORE \
            IDRETRY revert_again IDIGNORE revert_done
        Abort
        revert_again:
    ${Loop}
    revert_done:

    ; Started from the system folder by its full path, as the program starts it: never a
    ; schtasks.exe found along a search path. No task is not an error.
    nsExec::Exec '"$SYSDIR\schtasks.exe" /delete /tn Tarnivex /f'
    Pop $0

    ; The program's machine-wide files under ProgramData. Anyone may have made that folder, or
    ; a junction in its place or inside it: the program removes it entry by entry without ever
    ; following a link, which a recursive delete here would do. What it cannot remove stays.
    nsExec::Exec '"$INSTDIR\Tarnivex.exe" /cleanup'
    Pop $0

    Delete "$INSTDIR\Tarnivex.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Tarnivex.lnk"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; HKCU\Software\Tarnivex (the user's settings) stays: a later installation finds them again.
SectionEnd

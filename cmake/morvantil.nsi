; Morvantil's Windows installer, for the current user only (no administrator rights).
; It is also what the update service serves: a running Morvantil saves it as update.exe,
; starts it and ends, so it waits for the old Morvantil.exe to exit before replacing it.
; makensis -DVERSION=1.3 -DPROGRAM=<Morvantil.exe> -DICON=<morvantil.ico> -DOUTFILE=<setup.exe>
;          [-DSIGN=<command that signs the file named after it>] morvantil.nsi
; Silent with a daily send: Morvantil-setup.exe /S /INVIO=17:00
Unicode true
; 64-bit Windows 10/11; a 64-bit installer also runs where 32-bit programs cannot.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"
!include "nsDialogs.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Morvantil"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The working folder: the settings files, update.exe and morvantil.log live here.
!define WORKDIR "$LOCALAPPDATA\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
!ifdef SIGN
    !uninstfinalize '${SIGN} "%1"' = 0
    !finalize '${SIGN} "%1"' = 0
!endif
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow
; A file that cannot be written fails the install: never skipped.
AllowSkipFiles off

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
; "Invio automatico": a box to tick and a time; left unticked, what is set stays as it is.
Var DailySendBox
Var DailySendField
Var DailySendOn
Var DailySendTime

Page custom DailySendPage DailySendPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Italian"

; The new program's file, of this installer alone: another installer's failure never
; deletes it.
Var NewProgram

; One installer at a time (a mutex of the logged-on session, held until this installer
; ends): two at once would leave one's program under the other's version. The second
; says so and fails, with exit status 2 when silent, changing nothing.
Function .onInit
    System::Call 'kernel32::CreateMutexW(p 0, i 1, w "Morvantil-installazione") p .r0 ?e'
    Pop $1
    StrCmp $1 183 0 alone
    busy:
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Un'altra installazione di ${PRODUCT} è in corso.$\n$\nAttenderne la fine e premere Riprova, oppure Annulla per interrompere l'installazione." /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Quit
    retry:
        ; The other installer has ended when its mutex is free or abandoned.
        System::Call 'kernel32::WaitForSingleObject(p r0, i 0) i .r2'
        IntCmp $2 0x102 busy
    alone:
FunctionEnd

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileDescription" "Installazione di ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "LegalCopyright" "${PRODUCT}"

; Runs STEP (a macro that sets the error flag when it fails) until it succeeds. Windows
; refuses to replace or delete a running program's file: while Morvantil runs, or its file
; cannot be written, this says so and tries again for up to a minute, then asks whether to
; go on trying. Otherwise the whole install (or removal) fails, exit status 2, leaving the
; old program, its shortcut and its uninstall entry as they were.
!macro UntilProgramFree STEP WHAT
    wait:
        StrCpy $1 0
    try:
        ClearErrors
        !insertmacro ${STEP}
        IfErrors 0 free
        StrCmp $1 0 0 +2
            DetailPrint "Attendere la chiusura di ${PRODUCT}..."
        IntOp $1 $1 + 1
        Sleep 250
        IntCmp $1 240 0 try
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} è ancora aperto (o il file ${PRODUCT}.exe è bloccato).$\n$\nChiudere ${PRODUCT} e premere Riprova, oppure Annulla per interrompere ${WHAT}." /SD IDCANCEL IDRETRY wait
        Abort "${PRODUCT} è ancora aperto: ${WHAT} è stata interrotta."
    free:
!macroend

; The new program waits beside the old one and takes its place in one step, so the old
; one stays whole until then.
!macro ReplaceProgram
    System::Call 'kernel32::MoveFileExW(w "$NewProgram", w "$INSTDIR\${PRODUCT}.exe", i 1) i .r0'
    StrCmp $0 0 0 +2
        SetErrors
!macroend

!macro DeleteProgram
    Delete "$INSTDIR\${PRODUCT}.exe"
!macroend

Section
    SetOutPath "$INSTDIR"
    System::Call 'kernel32::GetCurrentProcessId() i .r0'
    StrCpy $NewProgram "$INSTDIR\${PRODUCT}-$0.new"
    File "/oname=$NewProgram" "${PROGRAM}"
    ; As File itself does, a read-only program is replaced all the same.
    SetFileAttributes "$INSTDIR\${PRODUCT}.exe" NORMAL
    !insertmacro UntilProgramFree ReplaceProgram "l'installazione"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateDirectory "${WORKDIR}"
    ; A shortcut's working folder is the output path when it is made.
    SetOutPath "${WORKDIR}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PRODUCT}.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PRODUCT}.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ; The daily send, from the working folder (the output path is the started program's).
    IfSilent 0 +2
        Call ReadDailySendOption
    StrCmp $DailySendOn 1 0 daily_send_done
        ExecWait '"$INSTDIR\${PRODUCT}.exe" --pianifica $DailySendTime' $0
        StrCmp $0 0 daily_send_done
        MessageBox MB_OK|MB_ICONEXCLAMATION "L'invio automatico alle $DailySendTime non è stato pianificato (ora nel formato HH:MM, per esempio 17:00; i dettagli sono in ${WORKDIR}\morvantil.log). Il programma è installato: per pianificarlo, eseguire di nuovo l'installazione." /SD IDOK
    daily_send_done:
SectionEnd

; /INVIO=HH:MM: the daily send at that time.
Function ReadDailySendOption
    StrCpy $DailySendTime "17:00"
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/INVIO=" $R1
    IfErrors +3
        StrCpy $DailySendOn 1
        StrCpy $DailySendTime $R1
FunctionEnd

Function DailySendPage
    StrCmp $DailySendTime "" 0 +2
        Call ReadDailySendOption
    !insertmacro MUI_HEADER_TEXT "Invio automatico" "I file di Brenola possono partire ogni giorno da soli, senza aprire ${PRODUCT}."
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateCheckbox} 0 0 100% 12u "&Inviare ogni giorno i file nuovi all'ora indicata"
    Pop $DailySendBox
    StrCmp $DailySendOn 1 0 +2
        ${NSD_Check} $DailySendBox
    ${NSD_CreateLabel} 12u 22u 40u 12u "&Ora:"
    Pop $0
    ${NSD_CreateText} 54u 20u 40u 12u "$DailySendTime"
    Pop $DailySendField
    ${NSD_CreateLabel} 12u 40u 100% 36u "Se il computer è spento a quell'ora, l'invio parte alla prima accensione. Se non riesce, ${PRODUCT} lo dice all'apertura successiva."
    Pop $0
    nsDialogs::Show
FunctionEnd

Function DailySendPageLeave
    ${NSD_GetState} $DailySendBox $DailySendOn
    ${NSD_GetText} $DailySendField $DailySendTime
FunctionEnd

; An install that failed leaves no new program beside the old one.
Function .onInstFailed
    Delete "$NewProgram"
FunctionEnd

Function StartProgram
    SetOutPath "${WORKDIR}"
    Exec '"$INSTDIR\${PRODUCT}.exe"'
FunctionEnd

; The working folder stays, with the settings files in it.
Section "Uninstall"
    ; The daily send goes with the program it would start.
    ExecWait '"$INSTDIR\${PRODUCT}.exe" --pianifica no'
    !insertmacro UntilProgramFree DeleteProgram "la disinstallazione"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\${PRODUCT}*.new"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

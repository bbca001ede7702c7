; Morvantil's Windows installer, for the current user only (no administrator rights).
; It is also what the update service serves: a running Morvantil saves it as update.exe,
; starts it and ends, so it waits for the old Morvantil.exe to exit before replacing it.
; makensis -DVERSION=1.3 -DPROGRAM=<Morvantil.exe> -DICON=<morvantil.ico> -DOUTFILE=<setup.exe> morvantil.nsi
Unicode true
; 64-bit Windows 10/11; a 64-bit installer also runs where 32-bit programs cannot.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"

!define PRODUCT "Morvantil"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The working folder: the settings files, update.exe and morvantil.log live here.
!define WORKDIR "$LOCALAPPDATA\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Italian"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileDescription" "Installazione di ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "LegalCopyright" "${PRODUCT}"

; Waits, up to a minute, until no running Morvantil holds the program file: Windows
; refuses to open a running program for writing.
Function WaitForOldProgram
    IfFileExists "$INSTDIR\${PRODUCT}.exe" 0 done
    StrCpy $1 0
    check:
        ClearErrors
        FileOpen $0 "$INSTDIR\${PRODUCT}.exe" a
        IfErrors busy
        FileClose $0
        Goto done
    busy:
        IntOp $1 $1 + 1
        IntCmp $1 240 done
        Sleep 250
        Goto check
    done:
FunctionEnd

Section
    Call WaitForOldProgram
    SetOutPath "$INSTDIR"
    File "/oname=${PRODUCT}.exe" "${PROGRAM}"
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
SectionEnd

Function StartProgram
    SetOutPath "${WORKDIR}"
    Exec '"$INSTDIR\${PRODUCT}.exe"'
FunctionEnd

; The working folder stays, with the settings files in it.
Section "Uninstall"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\${PRODUCT}.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

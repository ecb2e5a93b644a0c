; DectBridge-Setup.exe: installs DectBridge under Program Files, with a Start menu entry, an entry among
; the installed programs and, as options, the start with Windows, the simulated base and Skype peer, and
; the SIP link (when it was built).
;
; makensis -DSOURCE=<source tree> -DBIN=<folder of the built programs> -DOUTFILE=<setup>
;          [-DHANDSET=<Handset.exe>] [-DSIPLINK=<SipLink.exe>] DectBridge.nsi
;
; Silent use, for administrators:
;   DectBridge-Setup.exe /S [/AUTOSTART=0|1] [/SIMULATION=0|1] [/SIPLINK=0|1] [/D=folder]
;   Uninstall.exe /S [/REMOVESETTINGS]
; Without a switch an option keeps what the installation it replaces had (first install: start with
; Windows on, the others off).

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!searchparse /file "${SOURCE}/app/res/Version.h" `#define DECTBRIDGE_VERSION_TEXT "` VERSION `"`
!searchparse /file "${SOURCE}/app/res/Version.h" `#define DECTBRIDGE_PRODUCT "` PRODUCT `"`
!searchparse /file "${SOURCE}/app/res/Version.h" `#define DECTBRIDGE_COMPANY "` COMPANY `"`
!searchparse /file "${SOURCE}/app/res/Version.h" `#define DECTBRIDGE_COPYRIGHT "` COPYRIGHT `"`

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "SOFTWARE\Skype\Dect"
!define PROGRAM "DectBridge.exe"
; The running program's hidden window, and the mark of the WM_COPYDATA that asks it to exit in order.
!define EXIT_REQUEST_WINDOW "TigerJetTjInitApp"
!define EXIT_REQUEST_MARKER 0x04C81269
!define EXIT_WAIT_MS 30000
; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
!define WAIT_AND_QUERY 0x00101000
!define WAIT_OBJECT_0 0

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

!define MUI_ICON "${SOURCE}/app/res/app.ico"
!define MUI_UNICON "${SOURCE}/app/res/app.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM}"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var WasRunning

; The process of window $0, opened in $2 for waiting and asking its image (0 when it cannot be opened).
!macro WINDOW_PROCESS_FUNCTION UN
Function ${UN}OpenWindowProcess
    Push $1
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r1)'
    System::Call 'kernel32::OpenProcess(i ${WAIT_AND_QUERY}, i 0, i r1) p .r2'
    Pop $1
FunctionEnd
!macroend
!insertmacro WINDOW_PROCESS_FUNCTION ""
!insertmacro WINDOW_PROCESS_FUNCTION "un."

; Asks every running copy of the program to exit through its exit request and waits until its process
; has ended, so that its files are free and its settings saved. A copy that does not end is never killed:
; the user may end it and retry; a silent run gives up.
!macro STOP_PROGRAM_FUNCTION UN
Function ${UN}StopProgram
    Push $0
    Push $1
    Push $2
    Push $3
    ${Do}
        FindWindow $0 "" "${EXIT_REQUEST_WINDOW}"
        ${If} $0 = 0
            ${Break}
        ${EndIf}
        StrCpy $WasRunning 1
        DetailPrint "Asking the running ${PRODUCT} to exit..."
        Call ${UN}OpenWindowProcess
        System::Call '*(p ${EXIT_REQUEST_MARKER}, i 0, p 0) p .r3'
        SendMessage $0 ${WM_COPYDATA} 0 $3 /TIMEOUT=5000
        System::Free $3
        StrCpy $3 -1
        ${If} $2 P<> 0
            System::Call 'kernel32::WaitForSingleObject(p r2, i ${EXIT_WAIT_MS}) i .r3'
            System::Call 'kernel32::CloseHandle(p r2)'
        ${EndIf}
        ${If} $3 <> ${WAIT_OBJECT_0}
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
                "${PRODUCT} is still running and did not exit when asked.$\r$\n$\r$\nPlease exit it from its tray menu, then choose Retry." \
                /SD IDCANCEL IDRETRY retry
            Abort "${PRODUCT} is still running."
            retry:
        ${EndIf}
    ${Loop}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro STOP_PROGRAM_FUNCTION ""
!insertmacro STOP_PROGRAM_FUNCTION "un."

; Ends the simulated Skype peer when it runs from this installation, so that its file can be replaced or
; removed: a WM_CLOSE to its control window ends it in order. A peer run from elsewhere is left alone.
!macro CLOSE_PEER_FUNCTION UN
Function ${UN}ClosePeer
    Push $0
    Push $2
    Push $3
    FindWindow $0 "" "Skype Peer Control"
    ${If} $0 <> 0
        Call ${UN}OpenWindowProcess
        ${If} $2 P<> 0
            System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, *i ${NSIS_MAX_STRLEN})'
            ${If} $3 == "$INSTDIR\SkypePeer.exe"
                DetailPrint "Closing the Skype peer..."
                SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
                System::Call 'kernel32::WaitForSingleObject(p r2, i ${EXIT_WAIT_MS})'
            ${EndIf}
            System::Call 'kernel32::CloseHandle(p r2)'
        ${EndIf}
    ${EndIf}
    Pop $3
    Pop $2
    Pop $0
FunctionEnd
!macroend
!insertmacro CLOSE_PEER_FUNCTION ""
!insertmacro CLOSE_PEER_FUNCTION "un."

; What the simulation option puts in place, removed when the option is dropped or on uninstall.
!macro REMOVE_SIMULATION UN
    Call ${UN}ClosePeer
    Delete /REBOOTOK "$INSTDIR\SkypePeer.exe"
    Delete "$SMPROGRAMS\${PRODUCT}\Skype Peer (simulated).lnk"
    Delete /REBOOTOK "$INSTDIR\Handset.exe"
    Delete "$SMPROGRAMS\${PRODUCT}\Handset (simulated).lnk"
!macroend

!macro REMOVE_SIPLINK
    Delete /REBOOTOK "$INSTDIR\SipLink.exe"
    Delete "$SMPROGRAMS\${PRODUCT}\SIP Link.lnk"
!macroend

Section "${PRODUCT}" SecProgram
    SectionIn RO
    Call StopProgram
    SetOutPath "$INSTDIR"
    File "${BIN}/${PROGRAM}"
    File "${BIN}/TjIpSys.dll"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Start with Windows" SecAutostart
    WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\${PROGRAM}"'
SectionEnd

Section /o "Try without hardware" SecSimulation
    Call ClosePeer
    SetOutPath "$INSTDIR"
    File "${BIN}/SkypePeer.exe"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\Skype Peer (simulated).lnk" "$INSTDIR\SkypePeer.exe"
!ifdef HANDSET
    File "${HANDSET}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\Handset (simulated).lnk" "$INSTDIR\Handset.exe"
!endif
SectionEnd

!ifdef SIPLINK
Section /o "SIP link" SecSipLink
    SetOutPath "$INSTDIR"
    File "${SIPLINK}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\SIP Link.lnk" "$INSTDIR\SipLink.exe"
SectionEnd
!endif

; Options dropped since the last installation leave nothing behind; the size is measured once all is in
; place; a copy that was running runs again, now from the new files.
Section "-Finish"
    ${IfNot} ${SectionIsSelected} ${SecAutostart}
        DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    ${EndIf}
    ${IfNot} ${SectionIsSelected} ${SecSimulation}
        !insertmacro REMOVE_SIMULATION ""
    ${EndIf}
!ifdef SIPLINK
    ${IfNot} ${SectionIsSelected} ${SecSipLink}
        !insertmacro REMOVE_SIPLINK
    ${EndIf}
!endif
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    ${If} $WasRunning = 1
        SetOutPath "$INSTDIR"
        Exec '"$INSTDIR\${PROGRAM}"'
    ${EndIf}
SectionEnd

; Selects or clears a section from a command-line switch NAME=0|1; without the switch it stays as it is.
!macro SELECT_FROM_SWITCH PARAMETERS NAME SECTION
    ClearErrors
    ${GetOptions} "${PARAMETERS}" "/${NAME}=" $1
    ${IfNot} ${Errors}
        ${If} $1 == 1
            !insertmacro SelectSection ${SECTION}
        ${Else}
            !insertmacro UnselectSection ${SECTION}
        ${EndIf}
    ${EndIf}
!macroend

; The choices of an installation being replaced are its defaults; switches override them.
Function .onInit
    SetShellVarContext all
    StrCpy $WasRunning 0
    ClearErrors
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${IfNot} ${Errors}
        ClearErrors
        ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
        ${If} ${Errors}
            !insertmacro UnselectSection ${SecAutostart}
        ${EndIf}
        ${If} ${FileExists} "$INSTDIR\SkypePeer.exe"
            !insertmacro SelectSection ${SecSimulation}
        ${EndIf}
!ifdef SIPLINK
        ${If} ${FileExists} "$INSTDIR\SipLink.exe"
            !insertmacro SelectSection ${SecSipLink}
        ${EndIf}
!endif
    ${EndIf}
    ${GetParameters} $0
    !insertmacro SELECT_FROM_SWITCH $0 AUTOSTART ${SecAutostart}
    !insertmacro SELECT_FROM_SWITCH $0 SIMULATION ${SecSimulation}
!ifdef SIPLINK
    !insertmacro SELECT_FROM_SWITCH $0 SIPLINK ${SecSipLink}
!endif
FunctionEnd

Section "-un.${PRODUCT}"
    Call un.StopProgram
    Delete /REBOOTOK "$INSTDIR\${PROGRAM}"
    Delete /REBOOTOK "$INSTDIR\TjIpSys.dll"
    !insertmacro REMOVE_SIMULATION "un."
    !insertmacro REMOVE_SIPLINK
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    Delete "$INSTDIR\Uninstall.exe"
    ; Only what the setup put there goes: files of the user's own in the folder keep it.
    RMDir /REBOOTOK "$INSTDIR"
SectionEnd

; Runs after the program has exited, which saves its settings as it ends.
Section /o "un.Your settings" SecUnSettings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "SOFTWARE\Skype"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "${PRODUCT} and its phone library."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} "Start ${PRODUCT} when you log on to Windows."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecSimulation} \
        "A simulated DECT base and Skype peer, to try ${PRODUCT} without the hardware or Skype."
!ifdef SIPLINK
    !insertmacro MUI_DESCRIPTION_TEXT ${SecSipLink} "Calls through a SIP user agent in place of Skype."
!endif
!insertmacro MUI_FUNCTION_DESCRIPTION_END

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecUnSettings} \
        "Also delete your settings (country code, contact filter). Without this they stay for a later installation."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END

Function un.onInit
    SetShellVarContext all
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVESETTINGS" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecUnSettings}
    ${EndIf}
FunctionEnd

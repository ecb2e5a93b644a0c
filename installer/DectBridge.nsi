; DectBridge-Setup.exe: installs DectBridge for the user who runs it, without administrator rights, under
; %LOCALAPPDATA%\Programs\DectBridge, with a Start menu entry, an entry among the user's installed programs
; and, as options, the start with Windows, the simulated base and Skype peer for trying it without hardware
; (in a folder of their own, Trial), and the SIP link (when it was built).
;
; A tray program belongs to the user's session: its Run value, its settings and the SIP link's key are the
; user's own, and it must run at the user's level, or Windows drops the window messages between it and the
; SIP link or Skype. So the setup asks for no elevation, refuses to run elevated, and everything it starts
; runs as the user. The vendor's TjIpSys.dll, which the user puts beside DectBridge.exe, is never touched.
;
; makensis -DSOURCE=<source tree> -DBIN=<folder of the built programs> -DOUTFILE=<setup>
;          [-DHANDSET=<Handset.exe>] [-DSIPLINK=<SipLink.exe>] DectBridge.nsi
;
; Silent use:
;   DectBridge-Setup.exe /S [/AUTOSTART=0|1] [/SIMULATION=0|1] [/SIPLINK=0|1] [/D=folder]
;   Uninstall.exe /S [/REMOVESETTINGS]
; Without a switch an option keeps what the installation it replaces had (first install: start with
; Windows on, the others off).

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

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
!define SIPLINK_RUN_VALUE "${PRODUCT} SIP link"
!define SETTINGS_KEY "SOFTWARE\Skype\Dect"
; The SIP account: SipLink's settings (the password encrypted for the user) and the folder of its agent's
; configuration and contacts in the user's profile.
!define SIPLINK_ACCOUNT_KEY "SOFTWARE\${PRODUCT}\SipLink"
!define SIPLINK_ACCOUNT_FOLDER "$APPDATA\${PRODUCT}\SipLink"
!define PROGRAM "DectBridge.exe"
; The simulated base, the Skype peer and the handset window, with a copy of the program that loads the
; simulated library from beside itself: apart from the real installation, which they never disturb.
!define TRIAL "Trial"
!define TRIAL_LINK "${PRODUCT} (try without hardware).lnk"
; The running program's hidden window, and the mark of the WM_COPYDATA that asks it to exit in order.
!define EXIT_REQUEST_WINDOW "TigerJetTjInitApp"
!define EXIT_REQUEST_MARKER 0x04C81269
!define EXIT_WAIT_MS 30000
!define SIPLINK_UNINSTALL_WAIT_MS 10000
; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
!define WAIT_AND_QUERY 0x00101000
!define WAIT_OBJECT_0 0
; TOKEN_QUERY, TokenElevationType, TokenElevationTypeFull (elevated through UAC: "Run as administrator" or
; an administrator's credentials typed in).
!define TOKEN_QUERY 8
!define TOKEN_ELEVATION_TYPE 18
!define ELEVATION_TYPE_FULL 2
; Exit code of a silent setup or uninstaller that was started elevated.
!define EXIT_ELEVATED 3

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
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
Var TrialWasRunning
Var SipLinkWasRunning

; Elevated through UAC, the setup would write another user's keys and start our programs elevated, where
; the programs of the user's session cannot reach their windows: it stops before changing anything.
!macro REFUSE_ELEVATION UN
    System::Call 'kernel32::GetCurrentProcess() p .r0'
    System::Call 'advapi32::OpenProcessToken(p r0, i ${TOKEN_QUERY}, *p .r1) i .r2'
    ${If} $2 <> 0
        System::Call 'advapi32::GetTokenInformation(p r1, i ${TOKEN_ELEVATION_TYPE}, *i .r3, i 4, *i .r2) i .r2'
        System::Call 'kernel32::CloseHandle(p r1)'
        ${If} $2 <> 0
        ${AndIf} $3 = ${ELEVATION_TYPE_FULL}
            MessageBox MB_OK|MB_ICONSTOP \
                "${PRODUCT} installs for you alone and needs no administrator rights.$\r$\n$\r$\nPlease run this program again without $\"Run as administrator$\", as the user who will use ${PRODUCT}." \
                /SD IDOK
            SetErrorLevel ${EXIT_ELEVATED}
            Quit
        ${EndIf}
    ${EndIf}
!macroend

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
        DetailPrint "Asking the running ${PRODUCT} to exit..."
        Call ${UN}OpenWindowProcess
        ; The trial copy comes back as the trial copy; any other as the installed program.
        System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, *i ${NSIS_MAX_STRLEN})'
        ${If} $3 == "$INSTDIR\${TRIAL}\${PROGRAM}"
            StrCpy $TrialWasRunning 1
        ${Else}
            StrCpy $WasRunning 1
        ${EndIf}
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

; Ends every copy of one of our programs that runs from this installation, so that its file can be replaced
; or removed. A copy is found by its process, whatever its windows are called (SipLink's account window or
; its question to the user keep SipLink.exe in use as much as its hidden main window): every top window of
; such a process is asked to close (WM_CLOSE), which ends each of our programs in order, then the setup waits
; for the process to end. A copy run from elsewhere is left alone. Leaves 1 on the stack when it closed one,
; else 0. Use through CLOSE_OURS.
!macro CLOSE_OURS_FUNCTION UN
Function ${UN}IsOurs
    ; $0 a window; $2 its process (0 when it cannot be opened), $3 1 when that runs $INSTDIR\$5
    Call ${UN}OpenWindowProcess
    StrCpy $3 0
    ${If} $2 P<> 0
        System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, *i ${NSIS_MAX_STRLEN})'
        ${If} $3 == "$INSTDIR\$5"
            StrCpy $3 1
        ${Else}
            StrCpy $3 0
        ${EndIf}
    ${EndIf}
FunctionEnd

Function ${UN}CloseOurs
    Exch $5 ; the program's file name
    Push $0
    Push $1
    Push $2
    Push $3
    Push $6
    Push $7
    StrCpy $7 0
    ; Every window first: a program may end on the WM_CLOSE of one window only, and a window that is gone
    ; would break the walk through the others.
    StrCpy $6 0
    ${Do}
        System::Call 'user32::FindWindowExW(p 0, p r6, p 0, p 0) p .r0'
        ${If} $0 P= 0
            ${Break}
        ${EndIf}
        StrCpy $6 $0
        Call ${UN}IsOurs
        ${If} $3 = 1
            StrCpy $7 1
            System::Call 'user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)'
        ${EndIf}
        ${If} $2 P<> 0
            System::Call 'kernel32::CloseHandle(p r2)'
        ${EndIf}
    ${Loop}
    ${If} $7 = 1
        DetailPrint "Closing $5..."
    ${EndIf}
    ; Then each copy that still has a window is waited for; one that does not end in time is passed by.
    StrCpy $6 0
    StrCpy $1 0 ; the process id last given up on
    ${Do}
        System::Call 'user32::FindWindowExW(p 0, p r6, p 0, p 0) p .r0'
        ${If} $0 P= 0
            ${Break}
        ${EndIf}
        StrCpy $6 $0
        Call ${UN}IsOurs
        ${If} $3 = 1
            System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r3)'
            ${If} $3 <> $1
                System::Call 'kernel32::WaitForSingleObject(p r2, i ${EXIT_WAIT_MS}) i .r3'
                ${If} $3 = ${WAIT_OBJECT_0}
                    StrCpy $6 0 ; its windows are gone: the walk starts over
                ${Else}
                    System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r1)'
                ${EndIf}
            ${EndIf}
        ${EndIf}
        ${If} $2 P<> 0
            System::Call 'kernel32::CloseHandle(p r2)'
        ${EndIf}
    ${Loop}
    StrCpy $5 $7
    Pop $7
    Pop $6
    Pop $3
    Pop $2
    Pop $1
    Pop $0
    Exch $5
FunctionEnd
!macroend
!insertmacro CLOSE_OURS_FUNCTION ""
!insertmacro CLOSE_OURS_FUNCTION "un."

; Leaves in $R9 whether a copy was closed (1) or none ran (0).
!macro CLOSE_OURS UN FILE
    Push "${FILE}"
    Call ${UN}CloseOurs
    Pop $R9
!macroend

; The trial's peer and handset windows, closed before their files are replaced or removed (the trial's
; copy of the program was asked to exit with the installed one).
!macro CLOSE_TRIAL UN
    !insertmacro CLOSE_OURS "${UN}" "${TRIAL}\SkypePeer.exe"
    !insertmacro CLOSE_OURS "${UN}" "${TRIAL}\Handset.exe"
!macroend

; What the simulation option puts in place, removed when the option is dropped or on uninstall.
!macro REMOVE_SIMULATION UN
    !insertmacro CLOSE_TRIAL "${UN}"
    Delete /REBOOTOK "$INSTDIR\${TRIAL}\${PROGRAM}"
    Delete /REBOOTOK "$INSTDIR\${TRIAL}\TjIpSys.dll"
    Delete /REBOOTOK "$INSTDIR\${TRIAL}\SkypePeer.exe"
    Delete /REBOOTOK "$INSTDIR\${TRIAL}\Handset.exe"
    RMDir /REBOOTOK "$INSTDIR\${TRIAL}"
    Delete "$SMPROGRAMS\${PRODUCT}\${TRIAL_LINK}"
    Delete "$SMPROGRAMS\${PRODUCT}\Skype Peer (simulated).lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Handset (simulated).lnk"
!macroend

!ifdef SIPLINK
; The SIP link made the registry key by which programs find Skype installed, and only it knows what of
; that key it made: it is asked to take that away. The wait is bounded so that a hung link cannot hold
; up the removal.
!macro SIPLINK_UNINSTALL_FUNCTION UN
Function ${UN}SipLinkUninstall
    Push $0
    Push $1
    Push $2
    Push $3
    ; STARTUPINFOW (68 bytes, its size first, the rest zero) and PROCESS_INFORMATION
    System::Call '*(i 68, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0) p .r1'
    System::Call '*(p 0, p 0, i 0, i 0) p .r2'
    StrCpy $3 '"$INSTDIR\SipLink.exe" --uninstall'
    System::Call 'kernel32::CreateProcessW(p 0, w r3, p 0, p 0, i 0, i 0, p 0, p 0, p r1, p r2) i .r3'
    ${If} $3 <> 0
        System::Call '*$2(p .r0, p .r3)'
        System::Call 'kernel32::CloseHandle(p r3)'
        System::Call 'kernel32::WaitForSingleObject(p r0, i ${SIPLINK_UNINSTALL_WAIT_MS}) i .r3'
        ${If} $3 = ${WAIT_OBJECT_0}
            System::Call 'kernel32::GetExitCodeProcess(p r0, *i .r3)'
        ${EndIf}
        ${If} $3 <> 0
            DetailPrint "The SIP link could not remove its registry key (HKCU\SOFTWARE\Skype\Phone)."
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    System::Free $1
    System::Free $2
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro SIPLINK_UNINSTALL_FUNCTION ""
!insertmacro SIPLINK_UNINSTALL_FUNCTION "un."

; The SIP link option's files, and what the link itself made, removed when the option is dropped or on
; uninstall.
!endif
!macro REMOVE_SIPLINK UN
!ifdef SIPLINK
    ${If} ${FileExists} "$INSTDIR\SipLink.exe"
        !insertmacro CLOSE_OURS "${UN}" SipLink.exe
        Call ${UN}SipLinkUninstall
    ${EndIf}
!endif
    Delete /REBOOTOK "$INSTDIR\SipLink.exe"
    Delete "$SMPROGRAMS\${PRODUCT}\SIP Link.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "${SIPLINK_RUN_VALUE}"
    Delete "$SMPROGRAMS\${PRODUCT}\SIP account.lnk"
!macroend

Section "${PRODUCT}" SecProgram
    SectionIn RO
    Call StopProgram
    SetOutPath "$INSTDIR"
    ; No phone library here: this is where the program loads the vendor's TjIpSys.dll from.
    File "${BIN}/${PROGRAM}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Start with Windows" SecAutostart
    WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\${PROGRAM}"'
SectionEnd

Section /o "Try without hardware" SecSimulation
    !insertmacro CLOSE_TRIAL ""
    SetOutPath "$INSTDIR\${TRIAL}"
    File "${BIN}/${PROGRAM}"
    File "${BIN}/TjIpSys.dll"
    File "${BIN}/SkypePeer.exe"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\${TRIAL_LINK}" "$INSTDIR\${TRIAL}\${PROGRAM}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\Skype Peer (simulated).lnk" "$INSTDIR\${TRIAL}\SkypePeer.exe" \
        "/window"
!ifdef HANDSET
    File "${HANDSET}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\Handset (simulated).lnk" "$INSTDIR\${TRIAL}\Handset.exe"
!endif
SectionEnd

!ifdef SIPLINK
Section /o "SIP link" SecSipLink
    !insertmacro CLOSE_OURS "" SipLink.exe
    StrCpy $SipLinkWasRunning $R9
    SetOutPath "$INSTDIR"
    File "${SIPLINK}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\SIP Link.lnk" "$INSTDIR\SipLink.exe"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\SIP account.lnk" "$INSTDIR\SipLink.exe" "--settings"
SectionEnd

; The SIP link starts with the user's session when the program does. A value the user gave arguments of
; their own (another control port) is kept.
Function StartSipLinkWithWindows
    ${If} ${SectionIsSelected} ${SecAutostart}
        ReadRegStr $0 HKCU "${RUN_KEY}" "${SIPLINK_RUN_VALUE}"
        StrCpy $1 '"$INSTDIR\SipLink.exe"'
        StrLen $2 $1
        StrCpy $0 $0 $2
        ${If} $0 != $1
            WriteRegStr HKCU "${RUN_KEY}" "${SIPLINK_RUN_VALUE}" $1
        ${EndIf}
    ${Else}
        DeleteRegValue HKCU "${RUN_KEY}" "${SIPLINK_RUN_VALUE}"
    ${EndIf}
FunctionEnd
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
    ${If} ${SectionIsSelected} ${SecSipLink}
        Call StartSipLinkWithWindows
    ${Else}
        !insertmacro REMOVE_SIPLINK ""
    ${EndIf}
!endif
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    ; The setup runs at the user's own level (it refuses elevation), and so does what it starts here.
    ${If} $WasRunning = 1
        SetOutPath "$INSTDIR"
        Exec '"$INSTDIR\${PROGRAM}"'
    ${EndIf}
    ${If} $TrialWasRunning = 1
    ${AndIf} ${FileExists} "$INSTDIR\${TRIAL}\${PROGRAM}"
        SetOutPath "$INSTDIR\${TRIAL}"
        Exec '"$INSTDIR\${TRIAL}\${PROGRAM}"'
    ${EndIf}
!ifdef SIPLINK
    ${If} $SipLinkWasRunning = 1
    ${AndIf} ${SectionIsSelected} ${SecSipLink}
        SetOutPath "$INSTDIR"
        ReadRegStr $0 HKCU "${RUN_KEY}" "${SIPLINK_RUN_VALUE}"
        ${If} $0 == ""
            StrCpy $0 '"$INSTDIR\SipLink.exe"'
        ${EndIf}
        Exec $0
    ${EndIf}
!endif
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
    !insertmacro REFUSE_ELEVATION ""
    SetShellVarContext current
    StrCpy $WasRunning 0
    StrCpy $TrialWasRunning 0
    StrCpy $SipLinkWasRunning 0
    ; Earlier setups installed for all users; this one cannot remove that installation without elevation.
    ClearErrors
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${IfNot} ${Errors}
        MessageBox MB_OKCANCEL|MB_ICONINFORMATION \
            "An earlier ${PRODUCT} is installed for all users in $0. It stays, with its own start entries, until you remove it from the installed programs (that asks for administrator rights).$\r$\n$\r$\nInstall ${PRODUCT} for you alone now?" \
            /SD IDOK IDOK installAlongside
        Quit
        installAlongside:
    ${EndIf}
    ClearErrors
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${IfNot} ${Errors}
        ClearErrors
        ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
        ${If} ${Errors}
            !insertmacro UnselectSection ${SecAutostart}
        ${EndIf}
        ${If} ${FileExists} "$INSTDIR\${TRIAL}\SkypePeer.exe"
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
    !insertmacro REMOVE_SIMULATION "un."
    !insertmacro REMOVE_SIPLINK "un."
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    Delete "$INSTDIR\Uninstall.exe"
    ; Only what the setup put there goes: files of the user's own in the folder (the vendor's TjIpSys.dll)
    ; keep it.
    RMDir /REBOOTOK "$INSTDIR"
SectionEnd

; Runs after the program and the SIP link have ended, which save their settings as they end.
Section /o "un.Your settings" SecUnSettings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "SOFTWARE\Skype"
    DeleteRegKey HKCU "${SIPLINK_ACCOUNT_KEY}"
    DeleteRegKey /ifempty HKCU "SOFTWARE\${PRODUCT}"
    RMDir /r "${SIPLINK_ACCOUNT_FOLDER}"
    RMDir "$APPDATA\${PRODUCT}"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} \
        "${PRODUCT}. It uses the phone library of your base's maker (TjIpSys.dll), which you copy into its folder."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} "Start ${PRODUCT} when you log on to Windows."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecSimulation} \
        "A simulated DECT base and Skype peer, to try ${PRODUCT} without the hardware or Skype, in a folder and Start menu entry of their own."
!ifdef SIPLINK
    !insertmacro MUI_DESCRIPTION_TEXT ${SecSipLink} \
        "Calls through a SIP user agent in place of Skype; starts with Windows along with ${PRODUCT}."
!endif
!insertmacro MUI_FUNCTION_DESCRIPTION_END

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecUnSettings} \
        "Also delete your settings (country code, contact filter) and your SIP account (with its password and contacts). Without this they stay for a later installation."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END

Function un.onInit
    !insertmacro REFUSE_ELEVATION "un."
    SetShellVarContext current
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVESETTINGS" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecUnSettings}
    ${EndIf}
FunctionEnd

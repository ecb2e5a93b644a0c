// The main window's frame: construction, initialisation, the routing of messages, the orderly shutdown
// and the first placement.
#include "app/MainDialog.h"

#include <cstdio>
#include <cstring>

#include "app/Version.h"
#include "app/res/resource.h"
#include "chip/PhoneLibrary.h"
#include "support/TraceLog.h"

// Shared by every instance of the program: a data section of its own, read/write/shared.
volatile LONG sharedMainWindow __attribute__((section("SharedHa"), shared)) = 0;

namespace {

// The message table: messages handled before the replaceable default window procedure.
const fw::MessageEntry<MainDialog> messageTable[] = {
    {WM_PAINT, -1, -1, &MainDialog::OnPaint},
    {WM_QUERYDRAGICON, -1, -1, &MainDialog::OnQueryDragIcon},
    {WM_CLOSE, -1, -1, &MainDialog::OnClose},
    {WM_TIMER, -1, -1, &MainDialog::OnTimerMessage},
    {WM_COMMAND, IDOK, BN_CLICKED, &MainDialog::OnExit},
    {WM_COMMAND, IDCANCEL, -1, &MainDialog::OnCancel},
    {WM_DESTROY, -1, -1, &MainDialog::OnDestroy},
    {WM_ENDSESSION, -1, -1, &MainDialog::OnEndSession},
    {WM_COMMAND, IDC_SPEAKER_MUTE, BN_CLICKED, &MainDialog::OnSpeakerMute},
    {WM_COMMAND, IDC_MIC_MUTE, BN_CLICKED, &MainDialog::OnMicMute},
    {WM_HSCROLL, -1, -1, &MainDialog::OnHScroll},
    {WM_SIZE, -1, -1, &MainDialog::OnSize},
    {WM_COMMAND, IDC_ONLINE_ONLY, BN_CLICKED, &MainDialog::OnOnlineOnlyClicked},
    {WM_COMMAND, IDC_COUNTRY_CODE, EN_CHANGE, &MainDialog::OnCountryCodeChanged},
    {DM_GETDEFID, -1, -1, &MainDialog::OnGetDefaultId},
};

constexpr RECT DeviceIconRect = {15, 15, 47, 47};
constexpr RECT SkypeIconRect = {15, 45, 47, 77};

HICON LoadIconResource(int id) {
    return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
}

// The missing library's message: what is missing, then what the user can do about it, naming the folder.
void ReportMissingLibrary(const std::string& folder) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    char missing[256] = "";
    char where[512] = "";
    LoadStringA(instance, IDS_LIBRARY_MISSING, missing, sizeof missing);
    LoadStringA(instance, IDS_LIBRARY_WHERE, where, sizeof where);
    char text[256 + 512 + MAX_PATH];
    std::snprintf(text, sizeof text, "%s\n\n", missing);
    size_t length = std::strlen(text);
    std::snprintf(text + length, sizeof text - length, where, folder.c_str());
    MessageBoxA(nullptr, text, AppMessageCaption, MB_OK);
}

} // namespace

MainDialog::MainDialog() : fw::Dialog(IDD_MAIN) {
    appIcon = LoadIconResource(IDI_APP);
    SetTraceFile("c:\\temp\\Telvane.log");
    SetTraceLevel(40);
    Trace(10, "%s %s started", ProgramName, ProgramVersion);
}

MainDialog::~MainDialog() {
    // Destroying the window runs the orderly shutdown when nothing else has.
    if (Handle())
        DestroyWindow(Handle());
}

BOOL MainDialog::OnInitDialog() {
    sharedMainWindow = static_cast<LONG>(reinterpret_cast<LONG_PTR>(Handle()));
    skype.SetWindow(Handle());

    deviceIcon.Create(Handle(), DeviceIconRect, IDC_ICON_STATIC);
    skypeIcon.Create(Handle(), SkypeIconRect, IDC_ICON_STATIC);
    deviceIcon.SetIcon(LoadIconResource(IDI_STATE_OFF));
    skypeIcon.SetIcon(LoadIconResource(IDI_STATE_OFF));
    countryCodeEdit.Attach(Control(IDC_COUNTRY_CODE));
    KeepEnterInCountryCode();
    onlineOnlyBox.Attach(Control(IDC_ONLINE_ONLY));
    speakerSlider.Attach(Control(IDC_SPEAKER_LEVEL));
    micSlider.Attach(Control(IDC_MIC_LEVEL));
    serialLabel.Attach(Control(IDC_SERIAL_LABEL));
    serialValue.Attach(Control(IDC_SERIAL_VALUE));

    fw::Dialog::OnInitDialog();
    RefreshDevicePanel(IDS_NOT_FOUND, 0, false);
    LoadCountryCode();
    bridge.SetCallListOwner(this);
    bridge.SetPhaseWatcher(this);
    RestoreCallList();
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon));
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(appIcon));

    if (!LoadPhoneLibrary()) {
        ReportMissingLibrary(PhoneLibraryFolder());
        shutDown = true; // nothing to release: no library, no tray icon
        EndDialog(-1);
        return FALSE;
    }
    UpdateTrayIcon(TrayDeviceAbsent);
    exitRequestWindow.Create(this);
    if (AttachWindow(Handle()) == 0)
        StartDevice();
    PlaceMainWindow();
    return FALSE;
}

bool MainDialog::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return fw::RouteThrough(messageTable, this, message, wParam, lParam, result);
}

LRESULT MainDialog::DefaultWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COPYDATA:
        skype.OnCopyData(reinterpret_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        break;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMECRITICAL || wParam == PBT_APMRESUMESUSPEND)
            OnResume();
        break;
    case WM_DEVICECHANGE:
        DeviceChange(wParam, lParam);
        break;
    case WM_MIXER_CHANGE:
        MixerChange(wParam, lParam);
        RefreshDevicePanel(0, session.ProductId(), session.MixerOpen());
        return 1;
    case WM_TRAY_NOTIFY:
        OnTrayNotify(static_cast<UINT>(wParam), static_cast<UINT>(lParam));
        break;
    case WM_HANDSET_EVENT:
        if (wParam == HANDSET_KEY)
            bridge.HandleHandsetKey(static_cast<int32_t>(lParam));
        else if (wParam == HANDSET_FRAME_LOST)
            bridge.OnHandsetFrameLost();
        else if (wParam == HANDSET_GONE)
            OnHandsetGone();
        else if (wParam == HANDSET_HANDSHAKE_DONE)
            OnHandshakeDone();
        break;
    case WM_PHONE_ARRIVED:
        OnPhoneArrived(static_cast<DWORD>(lParam));
        break;
    case WM_PHONE_REMOVED:
        OnPhoneRemoved(static_cast<DWORD>(lParam));
        break;
    case WM_PHONE_KEY: {
        int32_t code = 0;
        if (session.TranslateKey(static_cast<int>(wParam), code))
            bridge.HandleHandsetKey(code);
        break;
    }
    case WM_PHONE_SHOW:
        ShowWindow(Handle(), wParam ? SW_SHOWNORMAL : SW_HIDE);
        break;
    default:
        break;
    }
    // The attach message and the shell's are registered at run time, so they are compared after every fixed
    // number.
    if (skype.IsAttachMessage(message))
        skype.OnAttachReply(reinterpret_cast<HWND>(wParam), lParam);
    else if (skype.IsSenderQuestion(message))
        return skype.AnswerSenderQuestion(wParam, lParam);
    else if (IsShellRestart(message) && !shutDown)
        UpdateTrayIcon(trayState);
    return PlatformWindowProc(message, wParam, lParam);
}

void MainDialog::OnSkypeNotification(const std::string& text) {
    bridge.HandleSkypeNotification(text);
}

void MainDialog::OnSkypeLinkLost() {
    bridge.OnLinkLost();
}

void MainDialog::PhaseChanged(HandsetPhase from, HandsetPhase to, const std::string& why) {
    Trace(20, "phase %s -> %s (%s)", PhaseName(from), PhaseName(to), why.c_str());
}

void MainDialog::PhaseRefused(HandsetPhase from, HandsetPhase to, const std::string& why) {
    Trace(10, "!!! phase %s -> %s refused: the rules do not allow it (%s)", PhaseName(from), PhaseName(to),
          why.c_str());
}

LRESULT MainDialog::OnClose(WPARAM, LPARAM) {
    RemoveTrayIcon();
    Shutdown();
    return 0;
}

LRESULT MainDialog::OnExit(WPARAM, LPARAM) {
    Shutdown();
    return 0;
}

// The Exit button's id is IDOK, which the dialog manager also gives for Enter in any control when the
// window has no default button; the Exit button is the default only while it has the focus.
LRESULT MainDialog::OnGetDefaultId(WPARAM, LPARAM) {
    bool onExit = GetFocus() == GetDlgItem(Handle(), IDOK);
    return MAKELRESULT(onExit ? IDOK : IDC_NO_DEFAULT, DC_HASDEFID);
}

// Escape must not end the modal run behind Shutdown's back; the window stays as it is.
LRESULT MainDialog::OnCancel(WPARAM, LPARAM) {
    return 0;
}

// However the run ended (a WM_QUIT from anyone, the window destroyed, a base that did not answer), what
// it holds is released in the same order as by Shutdown.
LRESULT MainDialog::OnDestroy(WPARAM wParam, LPARAM lParam) {
    ReleaseAll();
    return PlatformWindowProc(WM_DESTROY, wParam, lParam);
}

// The system may end the process as soon as this returns, so the orderly shutdown is done by then.
LRESULT MainDialog::OnEndSession(WPARAM sessionEnds, LPARAM) {
    if (sessionEnds)
        Shutdown();
    return 0;
}

void MainDialog::Shutdown() {
    if (shutDown)
        return;
    ReleaseAll();
    PostMessageA(Handle(), WM_QUIT, 0, 0);
}

void MainDialog::ReleaseAll() {
    if (shutDown)
        return;
    shutDown = true;
    session.StopThread();
    DetachWindow();
    SaveCountryCode();
    if (session.HasBase())
        ShowSkypeLink(false);
    session.Close();
    RemoveTrayIcon();
    exitRequestWindow.Destroy();
    UnloadPhoneLibrary();
}

void MainDialog::PlaceMainWindow() {
    RECT rect;
    GetWindowRect(Handle(), &rect);
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    // The window's right edge lands on the screen's vertical centre line.
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - w;
    int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    MoveWindow(Handle(), x > 0 ? x : 0, y > 0 ? y : 0, w, h, TRUE);
}

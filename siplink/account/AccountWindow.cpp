#include "siplink/account/AccountWindow.h"

#include <mmsystem.h>

#include <algorithm>
#include <string>
#include <vector>

#include "siplink/account/AccountStore.h"

namespace {

constexpr const char* ClassName = "SipLinkAccount";
constexpr const char* Title = "SIP account";
constexpr const char* SipLinkClass = "SipLinkMain";
constexpr UINT_PTR StatusTimer = 1;
constexpr UINT StatusMs = 500;

enum Control {
    IdStatus = 100,
    IdAddress,
    IdPassword,
    IdRegistrar,
    IdDisplayName,
    IdTransport,
    IdSpeakDevice,
    IdRingDevice,
    IdAgentPath,
    IdApply = 200,
};

// One row of the form: its label and its control.
struct Row {
    int id;
    const char* label;
    const char* controlClass;
    DWORD style;
};
const Row Rows[] = {
    {IdAddress, "SIP address (user@domain):", "EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {IdPassword, "Password:", "EDIT", ES_AUTOHSCROLL | ES_PASSWORD | WS_BORDER | WS_TABSTOP},
    {IdRegistrar, "Registrar or outbound proxy (optional):", "EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {IdDisplayName, "Display name:", "EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {IdTransport, "Transport:", "COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {IdSpeakDevice, "Sound device for calls:", "COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {IdRingDevice, "Sound device for ringing:", "COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {IdAgentPath, "User agent program (optional):", "EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
};
const char* const Transports[] = {"udp", "tcp", "tls"};
constexpr const char* DefaultDevice = "System default";
constexpr int LabelWidth = 230, FieldWidth = 280, RowHeight = 28, Margin = 10, StatusHeight = 48;

class AccountWindow {
  public:
    bool Create();
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    void Fill();
    void FillDevices(int id, const std::string& chosen);
    std::string Text(int id) const;
    std::string Device(int id) const;
    bool Apply();
    void ShowStatus(const std::string& text);

    HWND window = nullptr;
    StoredSettings settings;
    std::vector<std::string> devices; // "module,device" of each device entry after the default
    bool problemShown = false;        // the status line says why the last Apply failed
};

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* owner = reinterpret_cast<AccountWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    return owner ? owner->Handle(window, message, wParam, lParam)
                 : DefWindowProcA(window, message, wParam, lParam);
}

bool AccountWindow::Create() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    RegisterClassA(&windowClass);
    int rows = static_cast<int>(sizeof Rows / sizeof Rows[0]);
    RECT frame = {0, 0, 2 * Margin + LabelWidth + FieldWidth,
                  2 * Margin + StatusHeight + rows * RowHeight + RowHeight + Margin};
    AdjustWindowRect(&frame, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, FALSE);
    window = CreateWindowExA(0, ClassName, Title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                             CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                             nullptr, GetModuleHandleA(nullptr), this);
    if (!window)
        return false;
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    auto make = [&](const char* type, const char* text, DWORD style, int x, int y, int w, int h, int id) {
        HWND control = CreateWindowExA(0, type, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       GetModuleHandleA(nullptr), nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    };
    make("STATIC", "", SS_LEFT, Margin, Margin, LabelWidth + FieldWidth, StatusHeight, IdStatus);
    int y = Margin + StatusHeight;
    for (const Row& row : Rows) {
        make("STATIC", row.label, SS_LEFT, Margin, y + 3, LabelWidth, RowHeight - 6, 0);
        bool combo = std::string(row.controlClass) == "COMBOBOX";
        make(row.controlClass, "", row.style, Margin + LabelWidth, y, FieldWidth, combo ? 150 : RowHeight - 6,
             row.id);
        y += RowHeight;
    }
    int button = 80, x = Margin + LabelWidth + FieldWidth - 3 * button - 2 * Margin;
    make("BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, x, y + Margin, button, RowHeight - 4, IDOK);
    make("BUTTON", "Apply", BS_PUSHBUTTON | WS_TABSTOP, x + button + Margin, y + Margin, button,
         RowHeight - 4, IdApply);
    make("BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, x + 2 * (button + Margin), y + Margin, button,
         RowHeight - 4, IDCANCEL);
    Fill();
    SetTimer(window, StatusTimer, StatusMs, nullptr);
    ShowWindow(window, SW_SHOW);
    return true;
}

void AccountWindow::Fill() {
    settings = LoadSettings();
    const Account& account = settings.account;
    SetDlgItemTextA(window, IdAddress, account.address.c_str());
    SetDlgItemTextA(window, IdPassword, account.password.c_str());
    SetDlgItemTextA(window, IdRegistrar, account.registrar.c_str());
    SetDlgItemTextA(window, IdDisplayName, account.displayName.c_str());
    SetDlgItemTextA(window, IdAgentPath, settings.agentPath.c_str());
    HWND transport = GetDlgItem(window, IdTransport);
    for (const char* name : {"UDP", "TCP", "TLS"})
        SendMessageA(transport, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    int chosen = 0;
    for (int i = 0; i < 3; ++i)
        if (account.transport == Transports[i])
            chosen = i;
    SendMessageA(transport, CB_SETCURSEL, chosen, 0);
    // The system's playback devices; the base's own (a USB device) is preselected when nothing is chosen.
    WAVEOUTCAPSA caps;
    for (UINT i = 0; i < waveOutGetNumDevs(); ++i)
        if (waveOutGetDevCapsA(i, &caps, sizeof caps) == MMSYSERR_NOERROR)
            devices.push_back(std::string("winwave,") + caps.szPname);
    std::string base;
    for (const std::string& device : devices)
        if (base.empty() && device.find("USB") != std::string::npos)
            base = device;
    FillDevices(IdSpeakDevice,
                account.speakDevice.empty() && settings.account.address.empty() ? base : account.speakDevice);
    FillDevices(IdRingDevice, account.ringDevice);
}

void AccountWindow::FillDevices(int id, const std::string& chosen) {
    HWND combo = GetDlgItem(window, id);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(DefaultDevice));
    // A device stored by hand that the system does not list stays choosable.
    if (!chosen.empty() && std::find(devices.begin(), devices.end(), chosen) == devices.end())
        devices.push_back(chosen);
    int selected = 0;
    for (size_t i = 0; i < devices.size(); ++i) {
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(devices[i].c_str()));
        if (devices[i] == chosen)
            selected = static_cast<int>(i) + 1;
    }
    SendMessageA(combo, CB_SETCURSEL, selected, 0);
}

std::string AccountWindow::Text(int id) const {
    char text[512] = "";
    GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

std::string AccountWindow::Device(int id) const {
    LRESULT index = SendDlgItemMessageA(window, id, CB_GETCURSEL, 0, 0);
    return index >= 1 && static_cast<size_t>(index) <= devices.size() ? devices[index - 1] : "";
}

bool AccountWindow::Apply() {
    StoredSettings changed = settings;
    Account& account = changed.account;
    account.address = Text(IdAddress);
    account.password = Text(IdPassword);
    account.registrar = Text(IdRegistrar);
    account.displayName = Text(IdDisplayName);
    LRESULT transport = SendDlgItemMessageA(window, IdTransport, CB_GETCURSEL, 0, 0);
    account.transport = Transports[transport >= 0 && transport < 3 ? transport : 0];
    account.speakDevice = Device(IdSpeakDevice);
    account.ringDevice = Device(IdRingDevice);
    changed.agentPath = Text(IdAgentPath);
    std::string problem = account.Problem();
    problemShown = true;
    if (!problem.empty()) {
        ShowStatus("Not saved: " + problem);
        return false;
    }
    if (!SaveSettings(changed)) {
        ShowStatus("Not saved: the settings could not be written to the registry.");
        return false;
    }
    problemShown = false;
    settings = changed;
    HWND sipLink = nullptr;
    bool told = false;
    while ((sipLink = FindWindowExA(nullptr, sipLink, SipLinkClass, nullptr)) != nullptr)
        told = PostMessageA(sipLink, AccountChangedMessage(), 0, 0) || told;
    ShowStatus(told ? "Saved. SipLink registers the account anew."
                    : "Saved. SipLink registers it when it starts.");
    return true;
}

void AccountWindow::ShowStatus(const std::string& text) {
    SetDlgItemTextA(window, IdStatus, text.c_str());
}

LRESULT AccountWindow::Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            if (Apply())
                DestroyWindow(hwnd);
            return 0;
        case IdApply:
            Apply();
            return 0;
        case IDCANCEL:
            DestroyWindow(hwnd);
            return 0;
        }
        break;
    case WM_TIMER: {
        // SipLink's own words for its state, unless the user's last Apply failed.
        std::string status = FindWindowA(SipLinkClass, nullptr)
                                 ? LoadStatus()
                                 : "SipLink is not running: start \"SIP Link\" from the Start menu.";
        if (!problemShown && status != Text(IdStatus))
            ShowStatus(status);
        return 0;
    }
    case WM_DESTROY:
        KillTimer(hwnd, StatusTimer);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Brings an account window that is open already to the front; answers whether there was one.
bool BringOpenWindowForward() {
    HWND open = FindWindowA(ClassName, nullptr);
    if (!open)
        return false;
    ShowWindow(open, SW_RESTORE);
    SetForegroundWindow(open);
    return true;
}

} // namespace

UINT AccountChangedMessage() {
    static const UINT message = RegisterWindowMessageA("DectBridgeSipLinkAccountChanged");
    return message;
}

bool OpenAccountWindow() {
    if (BringOpenWindowForward())
        return true;
    wchar_t program[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\" --settings";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    // Whatever let this process bring a window forward (the user's click, a start by the user) goes to
    // the window it starts.
    AllowSetForegroundWindow(process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

int RunAccountWindow() {
    // One account window: a second "SIP account" shows the one open.
    if (BringOpenWindowForward())
        return 0;
    AccountWindow account;
    if (!account.Create())
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(GetActiveWindow(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

#include "siplink/account/AccountWindow.h"

#include <string>
#include <vector>

#include "siplink/HiddenWindow.h"
#include "siplink/ProgramPath.h"
#include "siplink/WideText.h"
#include "siplink/account/AccountStore.h"
#include "siplink/sound/BaseDevice.h"
#include "siplink/sound/DeviceList.h"

namespace {

constexpr const wchar_t* ClassName = L"SipLinkAccount";
constexpr const wchar_t* Title = L"SIP account";
constexpr const wchar_t* SipLinkClass = L"SipLinkMain";
constexpr UINT_PTR StatusTimer = 1;
constexpr UINT StatusMs = 500;

enum Control {
    IdStatus = 100,
    IdAddress,
    IdAuthUser,
    IdPassword,
    IdRegistrar,
    IdDisplayName,
    IdTransport,
    IdRegisterSeconds,
    IdSpeaker,
    IdMicrophone,
    IdProviderOnly,
    IdApply = 200,
};

// One row of the form: its label and its control.
struct Row {
    int id;
    const wchar_t* label;
    const wchar_t* controlClass;
    DWORD style;
};
constexpr DWORD EditStyle = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD ListStyle = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
const Row Rows[] = {
    {IdAddress, L"SIP address (user@domain):", L"EDIT", EditStyle},
    {IdAuthUser, L"Authentication user (if the provider gives one):", L"EDIT", EditStyle},
    {IdPassword, L"Password:", L"EDIT", EditStyle | ES_PASSWORD},
    {IdRegistrar, L"Registrar or outbound proxy (optional):", L"EDIT", EditStyle},
    {IdDisplayName, L"Display name:", L"EDIT", EditStyle},
    {IdTransport, L"Transport:", L"COMBOBOX", ListStyle},
    {IdRegisterSeconds, L"Registration interval (seconds):", L"EDIT", EditStyle | ES_NUMBER},
    {IdSpeaker, L"Sound device you hear:", L"COMBOBOX", ListStyle},
    {IdMicrophone, L"Sound device you speak into:", L"COMBOBOX", ListStyle},
    {IdProviderOnly, L"Calls come only from the provider:", L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP},
};
const char* const Transports[] = {"udp", "tcp"};
constexpr const wchar_t* DefaultDevice = L"System default";
constexpr int LabelWidth = 280, FieldWidth = 300, RowHeight = 28, Margin = 10, StatusHeight = 64;

class AccountWindow {
  public:
    bool Create();
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    // A list of devices with "System default" first; a chosen device the system does not list stays
    // choosable (a headset unplugged for now).
    struct DeviceList {
        int id;
        std::vector<std::string> names;
    };

    void Fill();
    void FillDevices(DeviceList& list, const std::string& chosen);
    void SetText(int id, const std::string& text);
    std::string Text(int id) const;
    std::string Device(const DeviceList& list) const;
    bool Apply();
    void ShowStatus(const std::string& text);

    HWND window = nullptr;
    Account account;
    DeviceList speakers{IdSpeaker, {}};
    DeviceList microphones{IdMicrophone, {}};
    bool problemShown = false; // the status line says why the last Apply failed
};

bool AccountWindow::Create() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = hidden_window::Procedure<AccountWindow>;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    RegisterClassW(&windowClass);
    int rows = static_cast<int>(sizeof Rows / sizeof Rows[0]);
    RECT frame = {0, 0, 2 * Margin + LabelWidth + FieldWidth,
                  2 * Margin + StatusHeight + rows * RowHeight + RowHeight + Margin};
    AdjustWindowRect(&frame, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, FALSE);
    window = CreateWindowExW(0, ClassName, Title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                             CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                             nullptr, GetModuleHandleW(nullptr), this);
    if (!window)
        return false;
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    auto make = [&](const wchar_t* type, const wchar_t* text, DWORD style, int x, int y, int w, int h,
                    int id) {
        HWND control = CreateWindowExW(0, type, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       GetModuleHandleW(nullptr), nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    };
    make(L"STATIC", L"", SS_LEFT, Margin, Margin, LabelWidth + FieldWidth, StatusHeight, IdStatus);
    int y = Margin + StatusHeight;
    for (const Row& row : Rows) {
        make(L"STATIC", row.label, SS_LEFT, Margin, y + 3, LabelWidth, RowHeight - 6, 0);
        bool combo = std::wstring(row.controlClass) == L"COMBOBOX";
        make(row.controlClass, L"", row.style, Margin + LabelWidth, y, FieldWidth,
             combo ? 150 : RowHeight - 6, row.id);
        y += RowHeight;
    }
    int button = 80, x = Margin + LabelWidth + FieldWidth - 3 * button - 2 * Margin;
    make(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, x, y + Margin, button, RowHeight - 4, IDOK);
    make(L"BUTTON", L"Apply", BS_PUSHBUTTON | WS_TABSTOP, x + button + Margin, y + Margin, button,
         RowHeight - 4, IdApply);
    make(L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, x + 2 * (button + Margin), y + Margin, button,
         RowHeight - 4, IDCANCEL);
    Fill();
    SetTimer(window, StatusTimer, StatusMs, nullptr);
    ShowWindow(window, SW_SHOW);
    return true;
}

void AccountWindow::Fill() {
    account = LoadAccount();
    SetText(IdAddress, account.address);
    SetText(IdAuthUser, account.authUser);
    SetText(IdPassword, account.password);
    SetText(IdRegistrar, account.registrar);
    SetText(IdDisplayName, account.displayName);
    SetText(IdRegisterSeconds, std::to_string(account.registerSeconds));
    CheckDlgButton(window, IdProviderOnly, account.providerOnly ? BST_CHECKED : BST_UNCHECKED);
    HWND transport = GetDlgItem(window, IdTransport);
    for (const wchar_t* name : {L"UDP", L"TCP"})
        SendMessageW(transport, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SendMessageW(transport, CB_SETCURSEL, account.transport == "tcp" ? 1 : 0, 0);
    sound::DeviceNames devices = sound::ListDevices();
    speakers.names = devices.playback;
    microphones.names = devices.capture;
    // A new account starts on the base's own device, when it is there.
    bool fresh = account.address.empty();
    FillDevices(speakers,
                fresh && account.speaker.empty() ? sound::BaseDevice(speakers.names) : account.speaker);
    FillDevices(microphones, fresh && account.microphone.empty() ? sound::BaseDevice(microphones.names)
                                                                 : account.microphone);
}

void AccountWindow::FillDevices(DeviceList& list, const std::string& chosen) {
    HWND combo = GetDlgItem(window, list.id);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(DefaultDevice));
    bool listed = false;
    for (const std::string& name : list.names)
        listed = listed || name == chosen;
    if (!chosen.empty() && !listed)
        list.names.push_back(chosen);
    int selected = 0;
    for (size_t i = 0; i < list.names.size(); ++i) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(list.names[i]).c_str()));
        if (list.names[i] == chosen)
            selected = static_cast<int>(i) + 1;
    }
    SendMessageW(combo, CB_SETCURSEL, selected, 0);
}

void AccountWindow::SetText(int id, const std::string& text) {
    SetDlgItemTextW(window, id, WideFromUtf8(text).c_str());
}

// The field as typed, in UTF-16 as the control holds it, made UTF-8.
std::string AccountWindow::Text(int id) const {
    HWND control = GetDlgItem(window, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, &text[0], static_cast<int>(text.size()))));
    return Utf8FromWide(text);
}

std::string AccountWindow::Device(const DeviceList& list) const {
    LRESULT index = SendDlgItemMessageW(window, list.id, CB_GETCURSEL, 0, 0);
    return index >= 1 && static_cast<size_t>(index) <= list.names.size() ? list.names[index - 1] : "";
}

bool AccountWindow::Apply() {
    Account changed = account;
    changed.address = Text(IdAddress);
    changed.authUser = Text(IdAuthUser);
    changed.password = Text(IdPassword);
    changed.registrar = Text(IdRegistrar);
    changed.displayName = Text(IdDisplayName);
    LRESULT transport = SendDlgItemMessageW(window, IdTransport, CB_GETCURSEL, 0, 0);
    changed.transport = Transports[transport == 1 ? 1 : 0];
    std::string seconds = Text(IdRegisterSeconds);
    changed.registerSeconds = seconds.empty() || seconds.size() > 6 ? 0 : std::stoi(seconds);
    changed.providerOnly = IsDlgButtonChecked(window, IdProviderOnly) == BST_CHECKED;
    changed.speaker = Device(speakers);
    changed.microphone = Device(microphones);
    std::string problem = changed.Problem();
    problemShown = true;
    if (!problem.empty()) {
        ShowStatus("Not saved: " + problem);
        return false;
    }
    if (!SaveAccount(changed)) {
        ShowStatus("Not saved: the settings could not be written to the registry.");
        return false;
    }
    problemShown = false;
    account = changed;
    HWND sipLink = nullptr;
    bool told = false;
    while ((sipLink = FindWindowExW(nullptr, sipLink, SipLinkClass, nullptr)) != nullptr)
        told = PostMessageW(sipLink, AccountChangedMessage(), 0, 0) || told;
    ShowStatus(told ? "Saved. SipLink takes the account now."
                    : "Saved. SipLink registers it when it starts.");
    return true;
}

void AccountWindow::ShowStatus(const std::string& text) {
    SetText(IdStatus, text);
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
        std::string status = FindWindowW(SipLinkClass, nullptr)
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
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Brings an account window that is open already to the front; answers whether there was one.
bool BringOpenWindowForward() {
    HWND open = FindWindowW(ClassName, nullptr);
    if (!open)
        return false;
    ShowWindow(open, SW_RESTORE);
    SetForegroundWindow(open);
    return true;
}

} // namespace

UINT AccountChangedMessage() {
    static const UINT message = RegisterWindowMessageW(L"DectBridgeSipLinkAccountChanged");
    return message;
}

bool OpenAccountWindow() {
    if (BringOpenWindowForward())
        return true;
    std::wstring program = ProgramPath();
    if (program.empty())
        return false;
    std::wstring commandLine = L"\"" + program + L"\" --settings";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
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
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(GetActiveWindow(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

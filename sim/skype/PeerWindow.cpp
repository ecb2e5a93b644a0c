// The peer's window for a person: what the peer's state holds, shown, and the far end's actions as buttons.
#include "sim/skype/PeerWindow.h"

#include <cstdio>

#include "sim/skype/Peer.h"

namespace peer {

namespace {

constexpr const char* WindowClass = "SkypePeerWindow";
// The statuses Skype reports for contacts, the two that count as reachable first.
constexpr const char* Statuses[] = {"ONLINE", "SKYPEOUT", "AWAY", "NA", "DND", "INVISIBLE", "OFFLINE"};

HWND window = nullptr;
std::vector<std::string> shownContacts; // "handle<TAB>status" lines as the list box shows them

HWND Item(int id) {
    return GetDlgItem(window, id);
}

std::string ItemText(int id) {
    char text[256] = "";
    GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

// The handle of the contact chosen in the list, "" when none is.
std::string ChosenContact() {
    LRESULT index = SendMessageA(Item(IDC_PEER_CONTACTS), LB_GETCURSEL, 0, 0);
    std::vector<std::string> handles = ContactHandles();
    return index >= 0 && static_cast<size_t>(index) < handles.size() ? handles[index] : "";
}

std::string StatusOf(const std::string& handle) {
    auto known = state.onlineStatus.find(handle);
    return known == state.onlineStatus.end() ? "OFFLINE" : known->second;
}

// The status box follows the chosen contact.
void ShowChosenStatus() {
    std::string status = StatusOf(ChosenContact());
    LRESULT index = SendMessageA(Item(IDC_PEER_STATUS), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(status.c_str()));
    SendMessageA(Item(IDC_PEER_STATUS), CB_SETCURSEL, index == CB_ERR ? static_cast<WPARAM>(-1) : index, 0);
}

void ShowContacts() {
    std::vector<std::string> lines;
    for (const std::string& handle : ContactHandles())
        lines.push_back(handle + "\t" + StatusOf(handle));
    if (lines == shownContacts)
        return;
    HWND list = Item(IDC_PEER_CONTACTS);
    LRESULT chosen = SendMessageA(list, LB_GETCURSEL, 0, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& line : lines)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    // A contact stays chosen across a status change; the first one is chosen to begin with.
    if (chosen < 0 || static_cast<size_t>(chosen) >= lines.size())
        chosen = 0;
    SendMessageA(list, LB_SETCURSEL, lines.empty() ? static_cast<WPARAM>(-1) : chosen, 0);
    shownContacts = lines;
    ShowChosenStatus();
}

void ShowCall() {
    const Call* call = CurrentCall();
    std::string text = "No call";
    if (call)
        text = (call->incoming ? "From " : "To ") + call->partner + " (call " + state.currentCall +
               "): " + (call->status.empty() ? "starting" : call->status);
    if (ItemText(IDC_PEER_CALL) != text)
        SetDlgItemTextA(window, IDC_PEER_CALL, text.c_str());
    EnableWindow(Item(IDC_PEER_ANSWER), call && !call->incoming && call->status != "INPROGRESS");
    EnableWindow(Item(IDC_PEER_HANG_UP), call != nullptr);
}

void ShowClient() {
    const char* text = state.client ? "DectBridge is attached" : "Waiting for DectBridge to attach";
    if (ItemText(IDC_PEER_CLIENT) != text)
        SetDlgItemTextA(window, IDC_PEER_CLIENT, text);
}

void SetChosenStatus() {
    std::string handle = ChosenContact();
    int index = static_cast<int>(SendMessageA(Item(IDC_PEER_STATUS), CB_GETCURSEL, 0, 0));
    if (handle.empty() || index < 0 || index >= static_cast<int>(std::size(Statuses)))
        return;
    ChangeOnlineStatus(handle, Statuses[index]);
}

void CallIn() {
    std::string handle = ChosenContact();
    if (!handle.empty())
        RingFrom(NewCallId(), handle);
}

void OnCommand(int id, int code) {
    switch (id) {
    case IDC_PEER_CONTACTS:
        if (code == LBN_SELCHANGE)
            ShowChosenStatus();
        return;
    case IDC_PEER_SET_STATUS:
        SetChosenStatus();
        break;
    case IDC_PEER_CALL_IN:
        CallIn();
        break;
    case IDC_PEER_ANSWER:
        FarEndAnswers();
        break;
    case IDC_PEER_HANG_UP:
        FarEndHangsUp();
        break;
    default:
        return;
    }
    RefreshPeerWindow();
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE: // the person closes Skype: the whole peer ends
        PostMessageA(state.control, WM_CLOSE, 0, 0);
        return 0;
    case WM_DESTROY:
        window = nullptr;
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

struct Child {
    const char* className;
    const char* text;
    DWORD style;
    int id, x, y, width, height;
};

void CreateChildren() {
    // With its strings marked, a list box's lines can be read from another process.
    const DWORD list =
        WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS;
    const Child children[] = {
        {"STATIC", "Contacts", 0, -1, 10, 8, 250, 16},
        {"LISTBOX", "", list | LBS_USETABSTOPS, IDC_PEER_CONTACTS, 10, 26, 250, 150},
        {"COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, IDC_PEER_STATUS, 10, 184, 140, 200},
        {"BUTTON", "Set status", BS_PUSHBUTTON | WS_TABSTOP, IDC_PEER_SET_STATUS, 156, 183, 104, 25},
        {"BUTTON", "Contact calls in", BS_PUSHBUTTON | WS_TABSTOP, IDC_PEER_CALL_IN, 10, 216, 250, 27},
        {"BUTTON", "Current call", BS_GROUPBOX, -1, 10, 252, 250, 86},
        {"STATIC", "No call", SS_LEFTNOWORDWRAP, IDC_PEER_CALL, 20, 272, 232, 18},
        {"BUTTON", "Far end answers", BS_PUSHBUTTON | WS_TABSTOP, IDC_PEER_ANSWER, 20, 298, 113, 27},
        {"BUTTON", "Far end hangs up", BS_PUSHBUTTON | WS_TABSTOP, IDC_PEER_HANG_UP, 139, 298, 113, 27},
        {"STATIC", "Commands received", 0, -1, 276, 8, 330, 16},
        {"LISTBOX", "", list | LBS_USETABSTOPS, IDC_PEER_COMMANDS, 276, 26, 330, 312},
        {"STATIC", "", SS_LEFTNOWORDWRAP, IDC_PEER_CLIENT, 10, 348, 596, 18},
    };
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const Child& child : children) {
        HWND control = CreateWindowExA(0, child.className, child.text, WS_CHILD | WS_VISIBLE | child.style,
                                       child.x, child.y, child.width, child.height, window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(child.id)),
                                       GetModuleHandleA(nullptr), nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    for (const char* status : Statuses)
        SendMessageA(Item(IDC_PEER_STATUS), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(status));
    // Status after the handle, time before the command: one tab stop each (in dialog units).
    int contactTab = 100, commandTab = 36;
    SendMessageA(Item(IDC_PEER_CONTACTS), LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&contactTab));
    SendMessageA(Item(IDC_PEER_COMMANDS), LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&commandTab));
}

} // namespace

bool OpenPeerWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = WindowClass;
    RegisterClassA(&windowClass);
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame = {0, 0, 616, 374};
    AdjustWindowRect(&frame, style, FALSE);
    // Bottom right of the screen, under the handset and clear of the program's window.
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    window = CreateWindowExA(0, WindowClass, PeerWindowTitle, style, work.right - width, work.bottom - height,
                             width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return false;
    CreateChildren();
    RefreshPeerWindow();
    ShowWindow(window, SW_SHOWNOACTIVATE);
    return true;
}

void ClosePeerWindow() {
    if (window)
        DestroyWindow(window);
}

void ListPeerCommand(const std::string& text) {
    if (!window)
        return;
    char time[32];
    std::snprintf(time, sizeof time, "%.3f s\t", Now() / 1000.0);
    HWND list = Item(IDC_PEER_COMMANDS);
    LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>((time + text).c_str()));
    SendMessageA(list, LB_SETTOPINDEX, index, 0);
}

void RefreshPeerWindow() {
    if (!window)
        return;
    ShowContacts();
    ShowCall();
    ShowClient();
}

} // namespace peer

// The handset window: the simulated base's handset for a person. It reads the simulation's shared state
// (so it serves any run of the program on this machine), shows the display, the ringing and the lights
// the way the base received them, and its keys, hook and plug switch act like the handset's and the
// base's own. Closing it leaves the simulation as it is.
#include <windows.h>

#include <string>

#include "sim/control/SimControl.h"
#include "sim/handset/HandsetFace.h"
#include "sim/handset/HandsetPaint.h"
#include "sim/handset/HandsetWindow.h"

namespace {

constexpr const char* WindowClass = "DectHandset";
constexpr UINT_PTR PollTimer = 1;
constexpr UINT_PTR BlinkTimer = 2;
constexpr UINT_PTR KeyUpTimer = 3;
constexpr UINT PollMs = 100;
constexpr UINT BlinkMs = 400;
constexpr UINT KeyUpMs = 150; // how long a key typed on the keyboard shows pressed
constexpr int ClientWidth = 250;
constexpr int ClientHeight = 470;

HWND window = nullptr;
HandsetFace shown;
bool backlightLit = false;
HWND keyShownDown = nullptr;

HWND Part(int id) {
    return GetDlgItem(window, id);
}

void SetPartText(int id, const std::string& text) {
    char now[64] = "";
    GetDlgItemTextA(window, id, now, sizeof now);
    if (text != now)
        SetDlgItemTextA(window, id, text.c_str());
}

void SetPartLit(int id, bool lit) {
    HWND part = Part(id);
    if ((GetWindowLongPtrA(part, GWLP_USERDATA) != 0) == lit)
        return;
    SetWindowLongPtrA(part, GWLP_USERDATA, lit ? 1 : 0);
    InvalidateRect(part, nullptr, FALSE);
}

void SetBacklight(bool lit) {
    backlightLit = lit;
    SetPartLit(IDC_HANDSET_STATUS, lit);
    SetPartLit(IDC_HANDSET_LINE, lit);
}

void Show(const HandsetFace& face) {
    SetPartText(IDC_HANDSET_STATUS, face.status);
    SetPartText(IDC_HANDSET_LINE, face.line);
    SetPartLit(IDC_HANDSET_SKYPE_LIGHT, face.skypeLight);
    SetPartLit(IDC_HANDSET_CALL_LIGHT, face.callLight);
    CheckDlgButton(window, IDC_HANDSET_PLUGGED, face.plugged ? BST_CHECKED : BST_UNCHECKED);
    // A ringing handset blinks its backlight.
    if (face.ringing && !shown.ringing) {
        SetBacklight(true);
        SetTimer(window, BlinkTimer, BlinkMs, nullptr);
    } else if (!face.ringing && shown.ringing) {
        KillTimer(window, BlinkTimer);
        SetBacklight(false);
    }
    shown = face;
}

void Poll() {
    HandsetFace face = FaceOf(ReadHandsetShown(), SimPlugged());
    if (face != shown)
        Show(face);
}

void Act(HandsetAction action, char key) {
    PerformHandsetAction(action, key);
    Poll();
}

// Keys typed while the window (or one of its keys) has the focus: the keypad's characters, Enter for
// talk and Escape for end. Answers whether the message was a handset key.
bool TypedKey(const MSG& message) {
    if (!window || (message.hwnd != window && GetParent(message.hwnd) != window))
        return false;
    HandsetAction action = HandsetAction::None;
    char key = 0;
    int id = 0;
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
        action = HandsetAction::Talk;
        id = IDC_HANDSET_TALK;
    } else if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
        action = HandsetAction::End;
        id = IDC_HANDSET_END;
    } else if (message.message == WM_CHAR) {
        key = static_cast<char>(message.wParam);
        action = ActionOfCharacter(key);
        id = IDC_HANDSET_KEY_BASE + static_cast<unsigned char>(key);
    }
    if (action == HandsetAction::None)
        return false;
    if (keyShownDown)
        SendMessageA(keyShownDown, BM_SETSTATE, FALSE, 0);
    keyShownDown = Part(id);
    SendMessageA(keyShownDown, BM_SETSTATE, TRUE, 0);
    SetTimer(window, KeyUpTimer, KeyUpMs, nullptr);
    Act(action, key);
    return true;
}

void OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return;
    if (id == IDC_HANDSET_PLUGGED) {
        if (IsDlgButtonChecked(window, IDC_HANDSET_PLUGGED) == BST_CHECKED)
            SimPlug();
        else
            SimUnplug();
        Poll();
    } else if (id == IDC_HANDSET_TALK) {
        Act(HandsetAction::Talk, 0);
    } else if (id == IDC_HANDSET_END) {
        Act(HandsetAction::End, 0);
    } else if (id > IDC_HANDSET_KEY_BASE && id < IDC_HANDSET_KEY_BASE + 256) {
        char key = static_cast<char>(id - IDC_HANDSET_KEY_BASE);
        Act(ActionOfCharacter(key), key);
    }
}

void OnTimer(UINT_PTR timer) {
    if (timer == PollTimer) {
        Poll();
    } else if (timer == BlinkTimer) {
        SetBacklight(!backlightLit);
    } else if (timer == KeyUpTimer) {
        KillTimer(window, KeyUpTimer);
        if (keyShownDown)
            SendMessageA(keyShownDown, BM_SETSTATE, FALSE, 0);
        keyShownDown = nullptr;
    }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_DRAWITEM:
        DrawKey(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(BodyControlColour(reinterpret_cast<HDC>(wParam)));
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        PaintBody(hwnd, dc);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_DESTROY:
        for (UINT_PTR timer : {PollTimer, BlinkTimer, KeyUpTimer})
            KillTimer(hwnd, timer);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void AddPart(const char* className, const char* text, DWORD style, int id, int x, int y, int width,
             int height) {
    HWND part = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleA(nullptr), nullptr);
    SendMessageA(part, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
}

void AddParts() {
    AddPart(LightClass, "Skype", 0, IDC_HANDSET_SKYPE_LIGHT, 40, 30, 60, 36);
    AddPart(LightClass, "Call", 0, IDC_HANDSET_CALL_LIGHT, 150, 30, 60, 36);
    AddPart(DisplayRowClass, "", 0, IDC_HANDSET_STATUS, 26, 74, 198, 20);
    AddPart(DisplayRowClass, "", 0, IDC_HANDSET_LINE, 26, 94, 198, 46);
    const DWORD key = BS_OWNERDRAW | WS_TABSTOP;
    AddPart("BUTTON", "Talk", key, IDC_HANDSET_TALK, 26, 158, 90, 36);
    AddPart("BUTTON", "End", key, IDC_HANDSET_END, 134, 158, 90, 36);
    const char keys[] = "123456789*0#";
    for (int i = 0; i < 12; ++i) {
        char text[2] = {keys[i], '\0'};
        AddPart("BUTTON", text, key, IDC_HANDSET_KEY_BASE + keys[i], 26 + (i % 3) * 70, 208 + (i / 3) * 52,
                58, 44);
    }
    AddPart("BUTTON", "Base plugged in", BS_AUTOCHECKBOX | WS_TABSTOP, IDC_HANDSET_PLUGGED, 26, 420, 198, 22);
}

bool OpenWindow() {
    RegisterHandsetClasses(WindowClass, WindowProc);
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT frame = {0, 0, ClientWidth, ClientHeight};
    AdjustWindowRect(&frame, style, FALSE);
    // Top right of the screen, clear of the program's window in the middle.
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int width = frame.right - frame.left;
    window = CreateWindowExA(0, WindowClass, HandsetWindowTitle, style, work.right - width, work.top, width,
                             frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return false;
    AddParts();
    Show(FaceOf(ReadHandsetShown(), SimPlugged()));
    SetTimer(window, PollTimer, PollMs, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    return true;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (!OpenWindow())
        return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (TypedKey(message))
            continue;
        TranslateMessage(&message); // a key's character comes back as a message of its own
        DispatchMessageA(&message);
    }
    DeletePaintObjects();
    return 0;
}

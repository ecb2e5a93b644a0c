#include "framework/Dialog.h"

#include <vector>

namespace fw {

void DataExchange::Text(int controlId, std::string& member) {
    HWND control = GetDlgItem(dialog, controlId);
    if (toMembers) {
        int length = GetWindowTextLengthA(control);
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        GetWindowTextA(control, buffer.data(), length + 1);
        member = buffer.data();
    } else {
        SetWindowTextA(control, member.c_str());
    }
}

void DataExchange::Check(int controlId, int& member) {
    if (toMembers)
        member = IsDlgButtonChecked(dialog, controlId) == BST_CHECKED ? 1 : 0;
    else
        CheckDlgButton(dialog, controlId, member ? BST_CHECKED : BST_UNCHECKED);
}

Dialog::Dialog(UINT templateId) : templateId(templateId) {}

Dialog::~Dialog() {
    if (window && IsWindow(window))
        DestroyWindow(window);
}

HWND Dialog::CreateWindowFromTemplate(HWND owner) {
    ended = false;
    result = 0;
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), owner, DialogProc,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR Dialog::RunModal(HWND owner) {
    HWND created = CreateWindowFromTemplate(owner);
    if (!created)
        return -1;
    bool ownerEnabled = owner && IsWindowEnabled(owner);
    if (ownerEnabled)
        EnableWindow(owner, FALSE);
    if (!ended) {
        ShowWindow(created, SW_SHOW);
        UpdateWindow(created);
    }
    MSG msg;
    while (!ended) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            // A quit ends every run of the thread: pass it on to the run this one is nested in.
            if (got == 0)
                PostQuitMessage(static_cast<int>(msg.wParam));
            result = -1;
            break;
        }
        if (!IsWindow(created) || !IsDialogMessageA(created, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (ownerEnabled)
        EnableWindow(owner, TRUE);
    if (IsWindow(created))
        DestroyWindow(created);
    window = nullptr;
    return result;
}

HWND Dialog::CreateModeless() { return CreateWindowFromTemplate(nullptr); }

void Dialog::EndDialog(INT_PTR value) {
    result = value;
    ended = true;
    // Wake the loop in case the call came from outside a message.
    if (window)
        PostMessageA(window, WM_NULL, 0, 0);
}

void Dialog::UpdateData(bool toMembers) {
    DataExchange dx(window, toMembers);
    DoDataExchange(dx);
}

BOOL Dialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void Dialog::DoDataExchange(DataExchange&) {}

bool Dialog::RouteMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& handled) {
    // A dialog without a table of its own closes on OK and Cancel.
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(LOWORD(wParam));
        handled = 0;
        return true;
    }
    return false;
}

LRESULT Dialog::DefaultWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return PlatformWindowProc(message, wParam, lParam);
}

LRESULT Dialog::PlatformWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(platformProc, window, message, wParam, lParam);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG)
        return FALSE;
    // From here on every message goes through the dialog's table and default procedure.
    Dialog* self = reinterpret_cast<Dialog*>(lParam);
    self->window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->platformProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    return self->OnInitDialog();
}

LRESULT CALLBACK Dialog::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    LRESULT handled = 0;
    if (self->RouteMessage(message, wParam, lParam, handled))
        return handled;
    LRESULT answer = self->DefaultWindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->platformProc));
        self->window = nullptr;
    }
    return answer;
}

} // namespace fw

#pragma once
// A thin dialog framework over Win32: a dialog made from a template, run modally by a loop of our own,
// a message table per dialog class, a replaceable default window procedure and data exchange between
// members and controls.
#include <windows.h>
#include <string>

namespace fw {

// Moves values between bound members and controls; the direction is fixed for one exchange.
class DataExchange {
public:
    DataExchange(HWND dialog, bool toMembers) : dialog(dialog), toMembers(toMembers) {}
    void Text(int controlId, std::string& member);
    void Check(int controlId, int& member);
    bool ToMembers() const { return toMembers; }

private:
    HWND dialog;
    bool toMembers;
};

class Dialog {
public:
    explicit Dialog(UINT templateId);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the dialog, shows it and runs its own loop until EndDialog or WM_QUIT; an owner is disabled
    // meanwhile. Answers the EndDialog result, or -1 when WM_QUIT ended the run.
    INT_PTR RunModal(HWND owner = nullptr);
    // Creates the dialog hidden, without running a loop (tests drive it through the thread's loop).
    HWND CreateModeless();
    void EndDialog(INT_PTR result);
    bool Ended() const { return ended; }
    INT_PTR Result() const { return result; }

    HWND Handle() const { return window; }
    HWND Control(int id) const { return GetDlgItem(window, id); }
    // false: members to controls; true: controls to members.
    void UpdateData(bool toMembers);

protected:
    // Runs after the window exists and before it is first shown; the default transfers members to
    // controls and answers TRUE (let the system set the focus).
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(DataExchange& dx);
    // The message table: answer true when the message was handled, with its result in `result`.
    virtual bool RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Every message the table does not handle comes here; the default is the platform's dialog processing.
    virtual LRESULT DefaultWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The platform's processing, for replacements of DefaultWindowProc that pass a message on.
    LRESULT PlatformWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND CreateWindowFromTemplate(HWND owner);

    UINT templateId;
    HWND window = nullptr;
    WNDPROC platformProc = nullptr;
    bool ended = false;
    INT_PTR result = 0;
};

// One row of a message table: the message, for WM_COMMAND the control id and notification code, and the
// member that handles it. Tables are plain arrays in the dialog's own source file.
template <class T> struct MessageEntry {
    UINT message;
    int controlId;     // WM_COMMAND only; -1 matches any
    int notifyCode;    // WM_COMMAND only; -1 matches any
    LRESULT (T::*handler)(WPARAM wParam, LPARAM lParam);
};

template <class T, size_t N>
bool RouteThrough(const MessageEntry<T> (&table)[N], T* target, UINT message, WPARAM wParam, LPARAM lParam,
                  LRESULT& result) {
    for (const MessageEntry<T>& entry : table) {
        if (entry.message != message)
            continue;
        if (message == WM_COMMAND) {
            if (entry.controlId != -1 && entry.controlId != LOWORD(wParam))
                continue;
            if (entry.notifyCode != -1 && entry.notifyCode != HIWORD(wParam))
                continue;
        }
        result = (target->*entry.handler)(wParam, lParam);
        return true;
    }
    return false;
}

} // namespace fw

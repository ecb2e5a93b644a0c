#include "framework/Controls.h"

#include <commctrl.h>
#include <vector>

namespace fw {

void Control::Enable(bool on) const { EnableWindow(window, on ? TRUE : FALSE); }

void Control::Show(bool on) const { ShowWindow(window, on ? SW_SHOW : SW_HIDE); }

void Control::Repaint() const {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

std::string Edit::Text() const {
    int length = GetWindowTextLengthA(window);
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    GetWindowTextA(window, buffer.data(), length + 1);
    return buffer.data();
}

void Edit::SetText(const std::string& text) const { SetWindowTextA(window, text.c_str()); }

bool Button::Checked() const { return SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Button::SetChecked(bool on) const { SendMessageA(window, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }

void Slider::SetRange(int low, int high, bool redraw) const {
    SendMessageA(window, TBM_SETRANGEMIN, FALSE, low);
    SendMessageA(window, TBM_SETRANGEMAX, redraw ? TRUE : FALSE, high);
}

void Slider::SetPageSize(int size) const { SendMessageA(window, TBM_SETPAGESIZE, 0, size); }

void Slider::SetTickFrequency(int every) const { SendMessageA(window, TBM_SETTICFREQ, every, 0); }

void Slider::SetPosition(int position, bool redraw) const {
    SendMessageA(window, TBM_SETPOS, redraw ? TRUE : FALSE, position);
}

int Slider::Position() const { return static_cast<int>(SendMessageA(window, TBM_GETPOS, 0, 0)); }

void IconStatic::Create(HWND parent, const RECT& rect, int id) {
    window = CreateWindowExA(0, "static", "", WS_CHILD | WS_VISIBLE | SS_ICON | SS_CENTERIMAGE, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

void IconStatic::SetIcon(HICON icon) const { SendMessageA(window, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0); }

} // namespace fw

#pragma once
// Wrappers over the dialog's controls: each holds the control's window and offers the few calls used.
#include <windows.h>
#include <string>

namespace fw {

class Control {
public:
    void Attach(HWND control) { window = control; }
    HWND Handle() const { return window; }
    void Enable(bool on) const;
    void Show(bool on) const;
    void Repaint() const;

protected:
    HWND window = nullptr;
};

class Edit : public Control {
public:
    std::string Text() const;
    void SetText(const std::string& text) const;
};

class Button : public Control {
public:
    bool Checked() const;
    void SetChecked(bool on) const;
};

class Slider : public Control {
public:
    void SetRange(int low, int high, bool redraw) const;
    void SetPageSize(int size) const;
    void SetTickFrequency(int every) const;
    void SetPosition(int position, bool redraw) const;
    int Position() const;
};

class IconStatic : public Control {
public:
    // Creates a centred icon static as a child of parent at a pixel rectangle.
    void Create(HWND parent, const RECT& rect, int id);
    void SetIcon(HICON icon) const;
};

} // namespace fw

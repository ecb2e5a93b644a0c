#pragma once
// The hidden window "TigerJetTjInitApp" through which another program asks this one to exit.
#include <windows.h>

class MainDialog;

class ExitRequestWindow {
  public:
    bool Create(MainDialog* owner);
    void Destroy();
    HWND Handle() const { return window; }
    ~ExitRequestWindow() { Destroy(); }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window = nullptr;
    MainDialog* owner = nullptr;
};

// The application object: the single-instance rule, then the main window's modal run.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "app/MainDialog.h"
#include "app/res/resource.h"

class PhoneCenterApp {
  public:
    // Answers false: the program runs no message loop of its own and ends when this returns.
    bool InitInstance();
};

bool PhoneCenterApp::InitInstance() {
    // Another program that uses the phone device.
    if (FindWindowA(nullptr, "TigerJetIPPhoneCenter")) {
        char text[256] = "";
        LoadStringA(GetModuleHandleA(nullptr), IDS_OTHER_PROGRAM, text, sizeof text);
        MessageBoxA(nullptr, text, AppMessageCaption, MB_OK);
        return false;
    }
    LONG running = sharedMainWindow;
    if (running == -1)
        return false; // another copy is between its check and its window
    if (running != 0) {
        HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(running));
        ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return false;
    }
    sharedMainWindow = -1;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    auto dialog = std::make_unique<MainDialog>();
    dialog->RunModal();
    sharedMainWindow = 0;
    dialog.reset();
    return false;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    PhoneCenterApp app;
    app.InitInstance();
    return 0;
}

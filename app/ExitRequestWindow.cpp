#include "app/ExitRequestWindow.h"

#include "app/MainDialog.h"
#include "app/res/resource.h"

namespace {
constexpr const char* ExitRequestClass = "DectBridgeExitRequest";
constexpr const char* ExitRequestTitle = "TigerJetTjInitApp";
} // namespace

bool ExitRequestWindow::Create(MainDialog* dialog) {
    owner = dialog;
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = ExitRequestClass;
    RegisterClassA(&windowClass); // fails harmlessly when already registered
    window = CreateWindowExA(0, ExitRequestClass, ExitRequestTitle, WS_CHILD, 0, 0, 0, 0, GetDesktopWindow(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_EXIT_REQUEST)),
                             GetModuleHandleA(nullptr), this);
    return window != nullptr;
}

void ExitRequestWindow::Destroy() {
    if (window)
        DestroyWindow(window);
    window = nullptr;
}

LRESULT ExitRequestWindow::DefaultWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA && lParam) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        // The marker: 0x04C8 in the high 16 bits and 'i' in the low 8; bits 8 to 15 are not examined.
        if ((data->dwData >> 16) == 0x04C8 && (data->dwData & 0xFF) == 0x69)
            return owner ? PostMessageA(owner->Handle(), WM_COMMAND, IDOK, 0) : 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK ExitRequestWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<ExitRequestWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window = window;
    }
    auto* self = reinterpret_cast<ExitRequestWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(window, message, wParam, lParam);
    return self->DefaultWindowProc(message, wParam, lParam);
}

#include "sim/control/PeerControl.h"

#include <windows.h>

bool PeerControl(const std::string& command) {
    HWND control = FindWindowA(nullptr, PeerControlTitle);
    if (!control)
        return false;
    COPYDATASTRUCT data = {0, static_cast<DWORD>(command.size() + 1), const_cast<char*>(command.c_str())};
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(control, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               5000, &answer) &&
           answer != 0;
}

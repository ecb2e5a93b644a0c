#include "tools/sip/agent/SipLinkEnd.h"

bool AskSipLinkToEnd(DWORD processId) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "SipLinkMain", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return PostMessageA(window, WM_CLOSE, 0, 0) != 0;
    }
    return false;
}

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

DWORD EndSipLink(test::Process& process) {
    AskSipLinkToEnd(process.Id());
    test::WaitUntil(
        [&] {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            return !process.Running();
        },
        5000);
    DWORD code = process.Wait(0);
    process.Kill();
    return code;
}

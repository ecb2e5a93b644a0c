#include "siplink/SessionInstance.h"

#include <sddl.h>

#include <string>

namespace {

// An ending SipLink delivers its last notifications (up to 5 s) and ends its agent (1.5 s): the later
// start waits for that with a margin, looking for an answer every PollMs.
constexpr DWORD WaitMs = 30000;
constexpr DWORD PollMs = 100;
constexpr UINT AnswerTimeoutMs = 2000;

// "Local\" is the session's namespace; the user's SID keeps another account's SipLink in the same
// session (started with "Run as") apart.
std::wstring MutexName() {
    std::wstring name = L"Local\\DectBridgeSipLink";
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return name;
    union {
        TOKEN_USER user;
        BYTE space[256];
    } buffer;
    DWORD size = 0;
    wchar_t* sid = nullptr;
    if (GetTokenInformation(token, TokenUser, &buffer, sizeof buffer, &size) &&
        ConvertSidToStringSidW(buffer.user.User.Sid, &sid)) {
        name += L"-" + std::wstring(sid);
        LocalFree(sid);
    }
    CloseHandle(token);
    return name;
}

// Asks the running SipLink's main window to show itself; answers whether one did.
bool AskRunning(const char* mainWindowClass) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, mainWindowClass, nullptr)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        // This start came from the user and may bring a window forward; the running one may then too.
        AllowSetForegroundWindow(process);
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutA(window, SessionInstance::ShowMessage(), 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                AnswerTimeoutMs, &answer) &&
            answer == 1)
            return true;
    }
    return false;
}

} // namespace

SessionInstance::~SessionInstance() {
    if (owned)
        ReleaseMutex(mutex);
    if (mutex)
        CloseHandle(mutex);
}

UINT SessionInstance::ShowMessage() {
    static const UINT message = RegisterWindowMessageA("DectBridgeSipLinkShow");
    return message;
}

SessionInstance::Outcome SessionInstance::Claim(const char* mainWindowClass) {
    mutex = CreateMutexW(nullptr, TRUE, MutexName().c_str());
    // Without a mutex the rule cannot hold; running is better than refusing the user's SipLink.
    if (!mutex || GetLastError() != ERROR_ALREADY_EXISTS) {
        owned = mutex != nullptr;
        return First;
    }
    DWORD start = GetTickCount();
    do {
        if (AskRunning(mainWindowClass))
            return HandedOver;
        DWORD waited = WaitForSingleObject(mutex, PollMs);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
            owned = true;
            return First;
        }
    } while (GetTickCount() - start < WaitMs);
    return NoAnswer;
}

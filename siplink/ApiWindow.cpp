#include "siplink/ApiWindow.h"

#include <cstring>

#include "siplink/HiddenWindow.h"
#include "siplink/ProgramPath.h"
#include "siplink/WideText.h"
#include "skype/SenderCheck.h"

namespace {

constexpr const char* ClassName = "SipLinkApi";
constexpr const char* Title = "SipLink API";
constexpr UINT WM_DELIVER = WM_APP + 1;
// The Skype API's attach statuses.
constexpr LPARAM AttachSuccess = 0;
constexpr LPARAM AttachPendingAuthorization = 1;
constexpr LPARAM AttachRefused = 2;

// The path in one form (UTF-8), so that two names of one file compare equal.
std::string LongPath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = L"", longer[MAX_PATH] = L"";
    if (path.empty() || !GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr))
        return Utf8FromWide(path);
    return Utf8FromWide(GetLongPathNameW(full, longer, MAX_PATH) ? longer : full);
}

std::wstring InstalledProgram() {
    std::wstring path = ProgramPath();
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"DectBridge.exe";
}

// The full path of the executable that made the window; "" when it cannot be told.
std::string ProgramOf(HWND window) {
    DWORD processId = WindowProcess(window);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return "";
    wchar_t path[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    bool named = QueryFullProcessImageNameW(process, 0, path, &size) != 0;
    CloseHandle(process);
    return named ? LongPath(std::wstring(path, size)) : "";
}

} // namespace

ApiWindow::ApiWindow(LogFile& log, CommandHandler onCommand, AttachHandler onAttach)
    : log(log), onCommand(std::move(onCommand)), onAttach(std::move(onAttach)),
      access(LongPath(InstalledProgram())) {}

bool ApiWindow::Create() {
    if (window)
        return true;
    window = CreateHiddenWindow(ClassName, Title, this);
    return window != nullptr;
}

void ApiWindow::Destroy() {
    if (!window)
        return;
    DeliverQueued();
    closing = true;
    courier.Finish(NoteCourier::SendTimeoutMs);
    closing = false;
    DestroyWindow(window);
    window = nullptr;
    client = nullptr;
    if (asking) {
        asking = nullptr;
        prompt.Close();
        access.Dropped();
    }
    log.Write("CLOSED", "");
}

bool ApiWindow::Notify(const std::string& text) {
    if (!window || !client) {
        log.Write("DROP", text);
        return false;
    }
    Queue(Outgoing{client, false, 0, text});
    return true;
}

void ApiWindow::Queue(const Outgoing& item) {
    outbox.push_back(item);
    PostMessageA(window, WM_DELIVER, 0, 0);
}

void ApiWindow::DeliverQueued() {
    while (!outbox.empty()) {
        Outgoing item = outbox.front();
        outbox.pop_front();
        courier.Send({item.to, window, item.attach, item.status, item.text});
    }
}

void ApiWindow::OnDiscover(HWND discoverer) {
    ClientAccess::Client discovering{ProgramOf(discoverer), reinterpret_cast<uintptr_t>(discoverer),
                                     WindowProcess(discoverer)};
    const std::string& program = discovering.program;
    log.Write("DISCOVER", std::to_string(discovering.window) + " " + program);
    const ClientAccess::Client* current = Attached();
    switch (access.OnDiscover(discovering, current)) {
    case ClientAccess::Attach:
        AttachClient(discoverer, program);
        break;
    case ClientAccess::Ask: {
        asking = discoverer;
        asker = discovering;
        Queue(Outgoing{discoverer, true, AttachPendingAuthorization, ""});
        std::string question = (program.empty() ? "A program" : program) + " asks to use the telephone line.";
        if (current)
            question += "\n\nIt would take the line from " +
                        (current->program.empty() ? "the program using it" : current->program) + ".";
        if (!prompt.Ask(question))
            OnAnswer(false);
        break;
    }
    case ClientAccess::Refuse:
        Queue(Outgoing{discoverer, true, AttachRefused, ""});
        break;
    case ClientAccess::Wait:
        break;
    }
}

void ApiWindow::OnAnswer(bool allowed) {
    HWND asked = asking;
    asking = nullptr;
    log.Write(allowed ? "ALLOWED" : "DENIED", asker.program);
    access.Answered(asker, allowed, Attached());
    if (!IsWindow(asked))
        return;
    if (allowed)
        AttachClient(asked, asker.program);
    else
        Queue(Outgoing{asked, true, AttachRefused, ""});
}

void ApiWindow::AttachClient(HWND attaching, const std::string& program) {
    if (client && client != attaching && IsWindow(client)) {
        // The user let another program take the line: the one that had it hears its user gone.
        log.Write("DISPLACED", attached.program);
        Queue(Outgoing{client, false, 0, "USERSTATUS LOGGEDOUT"});
    }
    client = attaching;
    attached = {program, reinterpret_cast<uintptr_t>(attaching), WindowProcess(attaching)};
    Queue(Outgoing{client, true, AttachSuccess, ""});
    onAttach();
}

const ClientAccess::Client* ApiWindow::Attached() const {
    return client && IsWindow(client) && WindowProcess(client) == attached.process ? &attached : nullptr;
}

LRESULT ApiWindow::OnCommand(HWND sender, const COPYDATASTRUCT* data) {
    if (sender != client || !Attached()) {
        log.Write("IGNORED", "a command from a window that is not attached");
        return 0;
    }
    const void* bytes = data ? data->lpData : nullptr;
    size_t size = bytes ? data->cbData : 0;
    if (AskSender(sender, window, bytes, size) == SenderAnswer::Denied) {
        log.Write("IGNORED", "a command in the attached program's name that its program did not send");
        return 0;
    }
    // The text up to its first zero byte; a missing terminator is forgiven, a missing buffer is empty.
    std::string command;
    if (bytes)
        command.assign(static_cast<const char*>(bytes), strnlen(static_cast<const char*>(bytes), size));
    log.Write("RECV", command);
    onCommand(command);
    return 1;
}

LRESULT ApiWindow::Handle(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == SenderQuestionMessage())
        return courier.Answer(wParam, lParam);
    if (closing && (message == WM_COPYDATA || message == discoverMessage))
        return 0;
    if (message == discoverMessage && discoverMessage != 0) {
        HWND discoverer = reinterpret_cast<HWND>(wParam);
        if (!IsWindow(discoverer))
            return 0;
        OnDiscover(discoverer);
        return 1;
    }
    switch (message) {
    case WM_COPYDATA:
        return OnCommand(reinterpret_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_DELIVER:
        DeliverQueued();
        return 0;
    case WM_CLOSE: // only SipLink itself ends its API window
        return 0;
    default:
        return DefWindowProcA(handle, message, wParam, lParam);
    }
}

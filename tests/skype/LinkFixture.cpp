#include "tests/skype/LinkFixture.h"

#include <algorithm>
#include <cstdio>

#include "support/TraceLog.h"

namespace skype_test {

namespace {

constexpr const char* WindowClass = "SkypeLinkTestWindow";

std::string NewestTraceFile() {
    char pattern[64];
    std::snprintf(pattern, sizeof pattern, "c:\\temp\\Telvane.log_*_%lX.txt", GetCurrentProcessId());
    std::vector<std::string> names = test::FindFiles(pattern);
    return names.empty() ? "" : *std::max_element(names.begin(), names.end());
}

} // namespace

LRESULT CALLBACK LinkFixture::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<LinkFixture*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && message == WM_COPYDATA)
        self->link.OnCopyData(reinterpret_cast<HWND>(wParam),
                              reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    else if (self && self->link.IsAttachMessage(message))
        self->link.OnAttachReply(reinterpret_cast<HWND>(wParam), lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

void LinkFixture::SetUp() {
    SetSkypeKey(true);
    SetTraceFile("c:\\temp\\Telvane.log");
    SetTraceLevel(40);
    Trace(10, "link test");
    traceName = NewestTraceFile();
    traceStart = test::ReadWholeFile(traceName).size();

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = WindowClass;
    RegisterClassA(&windowClass); // fails harmlessly when already registered
    window = CreateWindowExA(0, WindowClass, "link test", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    link.SetWindow(window);
}

void LinkFixture::TearDown() {
    EXPECT_EQ(peer.Quit(), 0u) << "the peer did not end cleanly";
    if (window)
        DestroyWindow(window);
}

bool LinkFixture::StartAndAttach(const std::string& options) {
    if (!peer.Start(options))
        return false;
    link.PumpStep();
    return test::WaitUntil([&] { return link.SkypeWindow() == peer.Api(); }, 5000);
}

void LinkFixture::Step() {
    clockMs += SkypeCommandPaceMs;
    link.PumpStep();
    // The step's command or discovery was taken inside the send; the peer's answers to it are due at once,
    // so its mark, queued behind them, comes once they have all come (this thread takes them while it waits).
    std::string mark = std::to_string(++marks);
    EXPECT_TRUE(peer.Control("mark " + mark) && peer.WaitForLine("MARK", mark))
        << "the peer did not answer the step";
}

bool LinkFixture::Notify(const std::string& text) {
    size_t sent = peer.Lines("SEND").size();
    return peer.Control("notify " + text) &&
           test::WaitUntil([&] { return peer.Lines("SEND").size() > sent; }, 5000);
}

Strings LinkFixture::TakeShown() {
    Strings taken;
    taken.swap(shown);
    return taken;
}

Strings LinkFixture::Queue() const {
    Strings texts;
    for (const QueuedCommand& command : link.Queue())
        texts.push_back(command.text);
    return texts;
}

std::string LinkFixture::TraceText() const {
    return test::ReadWholeFile(traceName).substr(traceStart);
}

} // namespace skype_test

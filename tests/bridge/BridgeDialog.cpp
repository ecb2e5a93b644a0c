#include "tests/bridge/BridgeDialog.h"

#include <commctrl.h>

namespace bridge_test {

void MarkSkypeInstalled() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Skype\\Phone", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

std::vector<SimCall> CallsSince(size_t from, const std::vector<int>& only) {
    std::vector<SimCall> picked;
    auto calls = SimCalls();
    for (size_t i = from; i < calls.size(); ++i) {
        bool wanted = only.empty();
        for (int op : only)
            wanted = wanted || calls[i].op == op;
        if (wanted)
            picked.push_back(calls[i]);
    }
    return picked;
}

std::string Describe(const std::vector<SimCall>& calls) {
    std::string text;
    for (const SimCall& call : calls) {
        text += "op " + std::to_string(call.op);
        if (call.text[0])
            text += std::string(" \"") + call.text + "\"";
        text += " -> " + std::to_string(call.result) + "; ";
    }
    return text.empty() ? "(no calls)" : text;
}

void Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(1);
    }
}

bool TimerArmed(HWND window, UINT_PTR id) {
    return KillTimer(window, id) != FALSE;
}

void BridgeDialog::Make(const std::function<void(SimState&)>& configure) {
    SimReset();
    if (configure)
        WithSim([&](SimState& state) {
            configure(state);
            return 0;
        });
    if (skypeInstalled)
        MarkSkypeInstalled();
    else
        RegDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\Skype\\Phone");
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    dialog = std::make_unique<MainDialog>();
    ASSERT_NE(dialog->CreateModeless(), nullptr) << "the main dialog template did not load";
    // A base present at start wakes on a thread of its own; the tests begin once it is in service.
    ASSERT_TRUE(PumpUntil([&] { return !dialog->Session().Waking(); }, 5000)) << "the handshake never ended";
}

void BridgeDialog::TearDown() {
    if (!dialog)
        return;
    if (!dialog->Ended())
        dialog->Shutdown();
    // Shutdown's WM_QUIT and anything posted before it.
    Pump(20);
    dialog.reset();
}

std::vector<std::string> BridgeDialog::Commands() const {
    std::vector<std::string> texts;
    for (const QueuedCommand& command : dialog->Skype().Queue())
        texts.push_back(command.text);
    return texts;
}

std::string BridgeDialog::CommandText() const {
    std::string text;
    for (const std::string& command : Commands())
        text += "\"" + command + "\" ";
    return text.empty() ? "(none)" : text;
}

} // namespace bridge_test

#include "siplink/NoteCourier.h"

#include <chrono>

namespace {

// How often Finish looks for messages sent to the calling thread's windows.
constexpr DWORD FinishPollMs = 10;

} // namespace

NoteCourier::NoteCourier(LogFile& log) : log(log), thread([this] { Run(); }) {}

NoteCourier::~NoteCourier() {
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
        DropWaiting();
    }
    changed.notify_all();
    thread.join();
}

void NoteCourier::Send(Item item) {
    {
        std::lock_guard<std::mutex> hold(lock);
        if (waiting.size() >= MaxWaiting) {
            log.Write("DROP", item.text + "  (the client takes nothing)");
            return;
        }
        waiting.push_back(std::move(item));
    }
    changed.notify_all();
}

void NoteCourier::Finish(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    std::unique_lock<std::mutex> hold(lock);
    auto done = [this] { return waiting.empty() && !sending; };
    while (!changed.wait_for(hold, std::chrono::milliseconds(FinishPollMs), done) &&
           GetTickCount() - start < timeoutMs) {
        hold.unlock();
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        hold.lock();
    }
    DropWaiting();
}

void NoteCourier::Run() {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
        changed.wait(hold, [this] { return stopping || !waiting.empty(); });
        if (stopping)
            return;
        Item item = std::move(waiting.front());
        waiting.pop_front();
        sending = true;
        hold.unlock();
        Deliver(item);
        hold.lock();
        sending = false;
        changed.notify_all();
    }
}

void NoteCourier::Deliver(const Item& item) {
    DWORD_PTR answer = 0;
    if (item.attach) {
        log.Write("ATTACH", std::to_string(item.status));
        SendMessageTimeoutA(item.client, attachMessage, reinterpret_cast<WPARAM>(item.from), item.status,
                            SMTO_NORMAL, SendTimeoutMs, &answer);
        return;
    }
    COPYDATASTRUCT copy = {0, static_cast<DWORD>(item.text.size() + 1), const_cast<char*>(item.text.c_str())};
    SendWitness::Sending sending(witness, item.client, copy.lpData, copy.cbData);
    if (!SendMessageTimeoutA(item.client, WM_COPYDATA, reinterpret_cast<WPARAM>(item.from),
                             reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, SendTimeoutMs, &answer))
        answer = 0;
    log.Write("SEND", item.text + (answer ? "" : "  (not taken)"));
}

void NoteCourier::DropWaiting() {
    for (const Item& item : waiting)
        log.Write("DROP", item.attach ? "attach reply" : item.text);
    waiting.clear();
}

#include "skype/SenderCheck.h"

#include <algorithm>

namespace {

// The genuine sender answers from inside its own send, at once; its send gives up after 5 s anyway.
constexpr UINT AnswerTimeoutMs = 5000;

// FNV-1a: the receiver's bytes and the sender's must match, nothing more.
uint32_t Digest(const void* data, size_t size) {
    uint32_t digest = 2166136261u;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; bytes && i < size; ++i)
        digest = (digest ^ bytes[i]) * 16777619u;
    return digest;
}

} // namespace

UINT SenderQuestionMessage() {
    static const UINT message = RegisterWindowMessageA("DectBridgeAreYouSendingThis");
    return message;
}

SendWitness::Sending::Sending(SendWitness& witness, HWND to, const void* data, size_t size)
    : witness(witness) {
    std::lock_guard<std::mutex> hold(witness.lock);
    id = witness.nextId++;
    witness.sends.push_back({id, to, Digest(data, size), false});
}

SendWitness::Sending::~Sending() {
    std::lock_guard<std::mutex> hold(witness.lock);
    auto& sends = witness.sends;
    sends.erase(
        std::remove_if(sends.begin(), sends.end(), [this](const InFlight& send) { return send.id == id; }),
        sends.end());
}

LRESULT SendWitness::Answer(WPARAM asker, LPARAM digest) {
    std::lock_guard<std::mutex> hold(lock);
    for (InFlight& send : sends)
        if (reinterpret_cast<WPARAM>(send.to) == asker && send.digest == static_cast<uint32_t>(digest) &&
            !send.confirmed) {
            send.confirmed = true;
            return Mine;
        }
    return NotMine;
}

SenderAnswer AskSender(HWND named, HWND receiver, const void* data, size_t size) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(named, SenderQuestionMessage(), reinterpret_cast<WPARAM>(receiver),
                             static_cast<LPARAM>(Digest(data, size)), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                             AnswerTimeoutMs, &answer))
        return SenderAnswer::Denied;
    if (answer == static_cast<DWORD_PTR>(SendWitness::Mine))
        return SenderAnswer::Confirmed;
    return answer == 0 ? SenderAnswer::Unknown : SenderAnswer::Denied;
}

DWORD WindowProcess(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

#include "tests/common/SkypeTestSupport.h"

#include <algorithm>

namespace skype_test {

namespace {

constexpr const char* SkypeKey = "SOFTWARE\\Skype\\Phone";

} // namespace

void SetSkypeKey(bool present) {
    if (!present) {
        RegDeleteKeyA(HKEY_CURRENT_USER, SkypeKey);
        return;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SkypeKey, 0, nullptr, 0, KEY_QUERY_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

std::string Describe(const std::vector<std::string>& texts) {
    std::string all = "[";
    for (const std::string& text : texts)
        all += (all.size() > 1 ? " | " : "") + text;
    return all + "]";
}

Peer::~Peer() {
    Quit();
}

bool Peer::Start(const std::string& options) {
    DeleteFileA(PeerLogPath);
    if (!process.Start(test::BinDir() + "\\SkypePeer.exe",
                       std::string("/log ") + PeerLogPath + " " + options))
        return false;
    if (!WaitForLine("READY", ""))
        return false;
    control = FindWindowA(nullptr, "Skype Peer Control");
    api = FindWindowA(nullptr, "Skype Peer API");
    return control && api;
}

bool Peer::Control(const std::string& command) const {
    return PeerControl(command);
}

DWORD Peer::Quit() {
    if (!process.Running())
        return process.Wait(0);
    Control("quit");
    DWORD code = STILL_ACTIVE;
    test::WaitUntil([&] { return (code = process.Wait(0)) != STILL_ACTIVE; }, 5000);
    process.Kill();
    return code;
}

std::vector<PeerLine> Peer::Lines(const std::string& tag) const {
    return ReadPeerLog(PeerLogPath, tag);
}

std::vector<std::string> Peer::Texts(const std::string& tag) const {
    std::vector<std::string> texts;
    for (const PeerLine& line : Lines(tag))
        texts.push_back(line.text);
    return texts;
}

bool Peer::WaitForLine(const std::string& tag, const std::string& text, DWORD timeoutMs) const {
    return test::WaitUntil(
        [&] {
            std::vector<std::string> texts = Texts(tag);
            return std::find(texts.begin(), texts.end(), text) != texts.end();
        },
        timeoutMs);
}

} // namespace skype_test

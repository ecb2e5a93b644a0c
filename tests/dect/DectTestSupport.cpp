#include "tests/dect/DectTestSupport.h"

#include <cstdio>
#include <functional>
#include <sstream>

#include "chip/PhoneLibrary.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "support/TraceLog.h"
#include "tests/common/TestSupport.h"

namespace dect_test {

std::string Hex(const uint8_t* bytes, int count) {
    std::string text;
    char hex[4];
    for (int i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, i ? " %02x" : "%02x", bytes[i]);
        text += hex;
    }
    return text;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    return Hex(bytes.data(), static_cast<int>(bytes.size()));
}

TraceCapture::TraceCapture(const std::string& name) : prefix(test::BinDir() + "\\trace_" + name) {
    test::DeleteFiles(prefix + "_*.txt");
    SetTraceFile(prefix.c_str());
    SetTraceLevel(40);
}

TraceCapture::~TraceCapture() {
    SetTraceLevel(0);
    SetTraceFile(nullptr); // closes the file
    test::DeleteFiles(prefix + "_*.txt");
}

std::vector<std::string> TraceCapture::Lines() const {
    std::vector<std::string> lines;
    for (const std::string& file : test::FindFiles(prefix + "_*.txt")) {
        std::istringstream text(test::ReadWholeFile(file));
        std::string line;
        while (std::getline(text, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            size_t tab = line.find('\t');
            lines.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
        }
    }
    return lines;
}

std::vector<std::string> TraceCapture::Since() {
    std::vector<std::string> lines = Lines();
    std::vector<std::string> fresh(lines.begin() + std::min(seen, lines.size()), lines.end());
    seen = lines.size();
    return fresh;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += "\n  " + line;
    return text.empty() ? "\n  (none)" : text;
}

int MemoryLink::WriteBytes(const uint8_t* data, int count) {
    if (refuseWrites)
        return 0;
    writes.emplace_back(data, data + count);
    return count;
}

int MemoryLink::ReadBytes(uint8_t* buffer, int count) {
    int read = 0;
    for (; read < count && !input.empty(); ++read) {
        buffer[read] = input.front();
        input.pop_front();
    }
    return read;
}

bool SimulatedLibraryPresent() {
    return GetFileAttributesA((test::BinDir() + "\\TjIpSys.dll").c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

int CallUntilReceived(const std::function<int()>& call, TraceCapture& trace, DWORD timeoutMs) {
    size_t before = trace.Lines().size();
    DWORD start = GetTickCount();
    for (;;) {
        int result = call();
        if (result != 0 || trace.Lines().size() != before || GetTickCount() - start >= timeoutMs)
            return result;
        Sleep(5);
    }
}

} // namespace

int PollUntilReceived(DectBase& base, TraceCapture& trace, DWORD timeoutMs) {
    return CallUntilReceived([&] { return base.PollEvent(); }, trace, timeoutMs);
}

int ReceiveUntilReceived(PacketLink& link, TraceCapture& trace, uint8_t* buffer, int* length,
                         DWORD timeoutMs) {
    return CallUntilReceived([&] { return link.ReceivePacket(buffer, length); }, trace, timeoutMs);
}

void SimulatedBaseTest::SetUp() {
    if (!SimulatedLibraryPresent())
        GTEST_SKIP() << "TjIpSys.dll is not next to the test program";
    SimReset();
    loaded = LoadPhoneLibrary() == 1;
    ASSERT_TRUE(loaded) << "the simulated library did not load";
    trace = std::make_unique<TraceCapture>(::testing::UnitTest::GetInstance()->current_test_info()->name());
}

void SimulatedBaseTest::TearDown() {
    base.reset();
    if (loaded)
        UnloadPhoneLibrary();
    trace.reset();
}

void SimulatedBaseTest::OpenBase() {
    base = std::make_unique<DectBase>();
    ASSERT_EQ(1, base->Open()) << "the awake simulated base did not open" << Joined(trace->Lines());
    ASSERT_TRUE(WaitForFrames(CmdInit, 1, 3000)) << "no CmdInit reached the base";
    trace->Since();
}

std::string SimulatedBaseTest::LastFrameAtBase() {
    HandsetView view = ReadHandset();
    return view.frames.empty() ? "" : Hex(view.frames.back());
}

} // namespace dect_test

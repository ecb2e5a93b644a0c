// Fifty calls coming in within ten seconds while the handset talks: each is refused busy at once, the call
// goes on, and neither DectBridge.exe nor SipLink.exe keeps memory or handles from them.
#include <winsock2.h>

#include <psapi.h>

#include "tests/sipaccount/ProviderDesk.h"

namespace {

using sipaccount::Wait;

struct Usage {
    DWORD handles = 0;
    SIZE_T privateBytes = 0;
};

Usage UsageOf(DWORD processId) {
    Usage usage;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process)
        return usage;
    GetProcessHandleCount(process, &usage.handles);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process, &counters, sizeof counters))
        usage.privateBytes = counters.PagefileUsage;
    CloseHandle(process);
    return usage;
}

class Load : public sipaccount::ProviderLine {};

TEST_F(Load, FiftyCallsInTenSecondsDuringACallAreEachRefusedBusyAndLeaveNothingBehind) {
    Dial("42");
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_INCOMING", Wait)) << ShowLog();
    FarAnswers();
    // One refused call first, so that what the first refusal allocates once is not counted as kept.
    sipaccount::SippFarEnd caller;
    ASSERT_TRUE(caller.Start("uac_auth.xml", {"127.0.0.1:" + std::to_string(sipaccount::Port.provider), "-s",
                                              "alice", "-au", "7477", "-ap", "7477pw", "-m", "1"}));
    ASSERT_EQ(caller.Result(), 0) << caller.Output();
    Sleep(1000);
    Usage programBefore = UsageOf(program.Proc().Id()), linkBefore = UsageOf(sipLink.Id());

    DWORD start = GetTickCount();
    ASSERT_TRUE(caller.Start("uac_auth.xml",
                             {"127.0.0.1:" + std::to_string(sipaccount::Port.provider), "-s", "alice", "-au",
                              "7477", "-ap", "7477pw", "-m", "50", "-r", "5", "-timeout_error"}));
    EXPECT_EQ(caller.Result(30000), 0) << "not every call was refused busy:\n" << caller.Output();
    DWORD took = GetTickCount() - start;
    EXPECT_LT(took, 15000u) << "the fifty refusals took " << took << " ms";
    std::string log = sipLink.Log();
    size_t busy = 0;
    for (size_t at = 0; (at = log.find("busy for sip:7477@", at)) != std::string::npos; ++at)
        ++busy;
    EXPECT_EQ(busy, 51u) << "calls not refused by SipLink";

    // The call in progress goes on.
    EXPECT_TRUE(farEnd.Events("CALL_CLOSED").empty()) << "the call in progress ended" << ShowLog();
    EXPECT_TRUE(ReadHandset().callLight);
    Press("5");
    EXPECT_TRUE(farEnd.WaitForEvent("CALL_DTMF_START", Wait)) << ShowLog();

    Sleep(1000);
    Usage programAfter = UsageOf(program.Proc().Id()), linkAfter = UsageOf(sipLink.Id());
    std::printf("DectBridge.exe: %lu -> %lu handles, %lu -> %lu KiB; SipLink.exe: %lu -> %lu handles, %lu -> "
                "%lu KiB; 50 refusals in %lu ms\n",
                programBefore.handles, programAfter.handles, (unsigned long)programBefore.privateBytes / 1024,
                (unsigned long)programAfter.privateBytes / 1024, linkBefore.handles, linkAfter.handles,
                (unsigned long)linkBefore.privateBytes / 1024, (unsigned long)linkAfter.privateBytes / 1024,
                took);
    if (programBefore.handles == 0 && linkBefore.handles == 0) {
        std::printf("the system gives no handle counts (Wine): handles not compared\n");
    } else {
        EXPECT_EQ(programAfter.handles, programBefore.handles);
        EXPECT_EQ(linkAfter.handles, linkBefore.handles);
    }
    ASSERT_NE(programBefore.privateBytes, 0u) << "no memory figure to compare";
    // The heap may round up to its next block; anything more is kept per call.
    EXPECT_LE(programAfter.privateBytes, programBefore.privateBytes + 256 * 1024);
    EXPECT_LE(linkAfter.privateBytes, linkBefore.privateBytes + 256 * 1024);
}

} // namespace

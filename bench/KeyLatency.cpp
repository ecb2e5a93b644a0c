// Time from a handset action to its event code, through the real channel threads and the simulated base,
// polled every 5 ms. The base presents a byte in two nibble holds, so a k-byte frame cannot take less than
// k byte times (the floor).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "chip/PhoneLibrary.h"
#include "dect/DectBase.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "support/Clock.h"

namespace {

constexpr int Rounds = 10;
constexpr DWORD PollMs = 5;
constexpr double TimeoutMs = 5000;

struct Case {
    const char* what;
    int frameBytes;
    std::function<bool()> act;
    int eventCode;
};

// The base's byte time: two nibble holds.
int ByteMs() {
    return 2 * static_cast<int>(WithSim([](SimState& state) { return state.chip.nibbleHoldMs; }));
}

// One action's latency in ms, or a negative value when no event or the wrong one came.
double Measure(DectBase& base, const Case& c) {
    double start = NowMs();
    if (!c.act())
        return -1;
    while (NowMs() - start < TimeoutMs) {
        if (base.PollEvent())
            return base.eventCode == c.eventCode ? NowMs() - start : -1;
        Sleep(PollMs);
    }
    return -1;
}

} // namespace

int main() {
    SimReset();
    if (!LoadPhoneLibrary())
        return 1;
    int status = 0;
    {
        DectBase base;
        if (!base.Open() || !WaitForFrames(0, 1, 3000)) {
            std::printf("the simulated base did not open\n");
            status = 1;
        } else {
            const Case cases[] = {
                {"key '5'", 8, [] { return HandsetPressKey('5'); }, '5'},
                {"key notice '#'", 8, [] { return HandsetKeyNotice(1, '#'); }, '#'},
                {"take the line", 7, [] { return HandsetTakeLine(); }, 'C'},
                {"release the line", 6, [] { return HandsetHangUp(7); }, 'B'},
            };
            std::printf("%-18s %6s %9s %9s %9s %9s\n", "handset action", "bytes", "floor ms", "min ms",
                        "median ms", "max ms");
            for (const Case& c : cases) {
                std::vector<double> times;
                for (int round = 0; round < Rounds; ++round) {
                    double ms = Measure(base, c);
                    if (ms < 0) {
                        std::printf("%s: no event %d\n", c.what, c.eventCode);
                        status = 1;
                        break;
                    }
                    times.push_back(ms);
                    WaitUntilBaseSent(1000); // a release's acknowledgement is on its way back
                }
                if (times.empty())
                    continue;
                std::sort(times.begin(), times.end());
                std::printf("%-18s %6d %9d %9.1f %9.1f %9.1f\n", c.what, c.frameBytes,
                            c.frameBytes * ByteMs(), times.front(), times[times.size() / 2], times.back());
            }
        }
    }
    UnloadPhoneLibrary();
    return status;
}

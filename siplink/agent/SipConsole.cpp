// SipConsole.exe (run by ./dev sip): a desk with a SIP line on loopback for a person at the keyboard. It
// starts two user agents (the near one on the control port SipLink uses by default, the far one as the
// other party), SipLink.exe and DectBridge.exe over the simulated base, then takes one command a line:
// the handset's keys and hook, and what the far end does. After each command it shows the handset and
// what the far end has seen.
#include <winsock2.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "siplink/agent/AgentClient.h"
#include "siplink/agent/AgentProcess.h"
#include "siplink/agent/SipLinkEnd.h"
#include "tests/common/Program.h"

namespace {

const char* const Help = "commands:\n"
                         "  keys K...     press handset keys (0-9 * #), e.g. keys #42# or keys ###\n"
                         "  talk | end    the handset's talk key (take the line) | end key\n"
                         "  far dial      the far end calls the handset\n"
                         "  far answer | far hangup | far tone D\n"
                         "  show | help | quit\n";

void ShowHandset() {
    HandsetView view = ReadHandset();
    std::printf("handset: [%s]%s%s  skype light %s, call light %s\n", view.display.c_str(),
                view.ringing ? " ringing from " : "", view.ringing ? view.caller.c_str() : "",
                view.skypeLight ? "on" : "off", view.callLight ? "on" : "off");
}

void ShowFarEnd(AgentClient& farEnd, size_t& shown) {
    // The call's steps, without the media reports.
    const std::string steps = " CALL_INCOMING CALL_RINGING CALL_ESTABLISHED CALL_CLOSED CALL_DTMF_START ";
    std::vector<AgentMessage> all = farEnd.Events("");
    for (; shown < all.size(); ++shown)
        if (steps.find(" " + all[shown].type + " ") != std::string::npos)
            std::printf("far end: %s %s\n", all[shown].type.c_str(), all[shown].param.c_str());
}

bool FarEnd(AgentClient& farEnd, const AgentPair& agents, const std::string& what) {
    if (what == "dial")
        return farEnd.Command("dial", agents.nearAddress);
    if (what == "answer")
        return farEnd.Command("accept");
    if (what == "hangup")
        return farEnd.Command("hangup");
    if (what.rfind("tone ", 0) == 0)
        return farEnd.Command("sndcode", what.substr(5));
    return false;
}

} // namespace

int main() {
    AgentPair agents = LoopbackAgents(4300);
    AgentProcess nearAgent, farAgent;
    AgentClient farEnd;
    test::Process sipLink;
    test::Program program;
    SimReset();
    if (!farAgent.Start(agents.farEnd) || !nearAgent.Start(agents.nearEnd) ||
        !farEnd.Connect(agents.farEnd.controlPort)) {
        std::printf("the user agents did not start (their output is in bin\\sipagents)\n");
        return 1;
    }
    if (!sipLink.Start(test::BinDir() + "\\SipLink.exe", "--log c:\\temp\\SipLinkConsole.log") ||
        !program.Start()) {
        std::printf("SipLink.exe or DectBridge.exe did not start\n");
        return 1;
    }
    std::printf("near agent %s (SipLink's), far end %s: dial %s or the contact bob from the handset.\n%s",
                agents.nearAddress.c_str(), agents.farAddress.c_str(), agents.farNumber.c_str(), Help);
    WaitForHandset([](const HandsetView& view) { return view.skypeLight; }, 5000);
    size_t shown = 0;
    std::string line;
    for (ShowHandset(); std::printf("> "), std::fflush(stdout), std::getline(std::cin, line);) {
        bool done = true;
        if (line.rfind("keys ", 0) == 0) {
            for (char key : line.substr(5))
                done = done && HandsetPressKey(static_cast<uint8_t>(key)) && WaitUntilBaseSent(5000);
        } else if (line == "talk") {
            done = HandsetTakeLine();
        } else if (line == "end") {
            done = HandsetHangUp(0);
        } else if (line.rfind("far ", 0) == 0) {
            done = FarEnd(farEnd, agents, line.substr(4));
        } else if (line == "quit") {
            break;
        } else if (line != "show") {
            std::printf("%s", Help);
        }
        if (!done)
            std::printf("did not go through\n");
        Sleep(500);
        farEnd.Receive(0);
        ShowFarEnd(farEnd, shown);
        ShowHandset();
    }
    program.Exit();
    AskSipLinkToEnd(sipLink.Id());
    sipLink.Wait(5000);
    nearAgent.AskToStop();
    farAgent.AskToStop();
    return 0;
}

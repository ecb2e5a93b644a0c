// SipConsole.exe (run by ./dev sip): a desk with a SIP line on loopback for a person at the keyboard. It
// starts the loopback provider (Kamailio as registrar and proxy, with passwords), a far-end agent
// registered there as 42, SipLink.exe registering the account alice (stored in this Wine
// prefix's registry, as the account window stores it) and DectBridge.exe over the simulated base, then
// takes one command a line: the handset's keys and hook, and what the far end does. After each command it
// shows the handset and what the far end has seen.
#include <winsock2.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "siplink/account/AccountStore.h"
#include "siplink/WideText.h"
#include "tools/sip/agent/AgentClient.h"
#include "tools/sip/agent/AgentProcess.h"
#include "tools/sip/agent/SipLinkEnd.h"
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

constexpr int ProviderPort = 4090;
const std::string NearAddress = "sip:alice@127.0.0.1:" + std::to_string(ProviderPort);

bool FarEnd(AgentClient& farEnd, const std::string& what) {
    if (what == "dial")
        return farEnd.Command("dial", NearAddress);
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
    AgentConfig farConfig = LoopbackAgents(4000).farEnd;
    farConfig.registrarPort = ProviderPort;
    farConfig.contacts = {{"alice", NearAddress}};
    std::string farAddress = "sip:" + farConfig.name + "@127.0.0.1:" + std::to_string(ProviderPort);
    ScriptProcess provider;
    AgentProcess farAgent;
    AgentClient farEnd;
    test::Process sipLink;
    test::Program program;
    SimReset();
    std::string folder = Utf8FromWide(SipLinkFolder());
    std::ofstream(folder + "\\contacts") << "\"bob\" <" << farAddress << ">;presence=p2p\n";
    if (!SaveAccount(LoopbackAccount(ProviderPort)) ||
        !provider.Start("sipprovider.sh", "sipagents\\provider", {std::to_string(ProviderPort), "403"}) ||
        !farAgent.Start(farConfig) || !farEnd.Connect(farConfig.controlPort)) {
        std::printf("the provider or the far agent did not start (their output is in bin\\sipagents)\n");
        return 1;
    }
    if (!sipLink.Start(test::BinDir() + "\\SipLink.exe", "--log c:\\temp\\SipLinkConsole.log") ||
        !program.Start()) {
        std::printf("SipLink.exe or DectBridge.exe did not start\n");
        return 1;
    }
    std::printf(
        "provider 127.0.0.1:%d; SipLink registers %s (its contacts file is in %s), the far end is %s:\n"
        "dial %s or the contact bob from the handset; SipLink.exe --settings shows the account.\n%s",
        ProviderPort, NearAddress.c_str(), folder.c_str(), farAddress.c_str(), farConfig.name.c_str(), Help);
    WaitForHandset([](const HandsetView& view) { return view.skypeLight; }, 10000);
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
            done = FarEnd(farEnd, line.substr(4));
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
    farAgent.AskToStop();
    farAgent.Stop();
    provider.Stop();
    return 0;
}

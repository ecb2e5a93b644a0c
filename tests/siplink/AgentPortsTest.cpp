// The loopback agents' ports: tests run side by side, each sandbox with its own block of ports, so the pair
// must fit one block, or a sandbox's agents would take the ports of the sandbox beside it.
#include <gtest/gtest.h>

#include <set>

#include "tools/sip/agent/AgentProcess.h"
#include "tests/common/TestSupport.h"

namespace {

// Every port an agent listens on: SIP (and the port above it), its ten RTP ports, its control port.
std::vector<int> PortsOf(const AgentConfig& agent) {
    std::vector<int> ports = {agent.sipPort, agent.sipPort + 1, agent.controlPort};
    for (int i = 0; i < 10; ++i)
        ports.push_back(agent.rtpFirst + i);
    return ports;
}

TEST(LoopbackAgentPorts, ThePairFitsOneSandboxsBlockWithNoPortTwice) {
    AgentPair pair = LoopbackAgents(test::FirstTestPort);
    std::vector<int> ports = PortsOf(pair.nearEnd);
    for (int port : PortsOf(pair.farEnd))
        ports.push_back(port);
    std::set<int> distinct;
    for (int port : ports) {
        EXPECT_GE(port, test::FirstTestPort);
        EXPECT_LT(port, test::FirstTestPort + test::TestPortCount) << "port " << port;
        EXPECT_TRUE(distinct.insert(port).second) << "port " << port << " twice";
    }
}

} // namespace

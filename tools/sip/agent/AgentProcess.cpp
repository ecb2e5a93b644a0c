#include "tools/sip/agent/AgentProcess.h"

bool AgentProcess::Start(const AgentConfig& config) {
    std::vector<std::string> arguments = {config.name,
                                          std::to_string(config.sipPort),
                                          std::to_string(config.rtpFirst),
                                          std::to_string(config.controlPort),
                                          std::to_string(config.answerTimeoutS),
                                          std::to_string(config.outboundPort),
                                          std::to_string(config.registrarPort),
                                          config.displayName.empty() ? "-" : config.displayName,
                                          config.record ? "record" : "-"};
    for (const auto& [name, address] : config.contacts) {
        arguments.push_back(name);
        arguments.push_back(address);
    }
    return script.Start("sipagent.sh", "sipagents\\" + config.name + "-" + std::to_string(config.sipPort),
                        arguments);
}

AgentPair LoopbackAgents(int base, int farAnswerTimeoutS) {
    AgentPair pair;
    pair.farNumber = "42";
    pair.nearAddress = "sip:alice@127.0.0.1:" + std::to_string(base + 60);
    pair.farAddress = "sip:" + pair.farNumber + "@127.0.0.1:" + std::to_string(base + 80);

    pair.nearEnd.name = "alice";
    pair.nearEnd.sipPort = base + 60;
    pair.nearEnd.rtpFirst = base + 100;
    pair.nearEnd.controlPort = base + 144;
    pair.nearEnd.outboundPort = base + 80;
    pair.nearEnd.contacts = {{"bob", pair.farAddress}};

    pair.farEnd.name = pair.farNumber;
    pair.farEnd.sipPort = base + 80;
    pair.farEnd.rtpFirst = base + 120;
    pair.farEnd.controlPort = base + 146;
    pair.farEnd.answerTimeoutS = farAnswerTimeoutS;
    pair.farEnd.contacts = {{"alice", pair.nearAddress}};
    return pair;
}

Account LoopbackAccount(int providerPort) {
    Account account;
    account.address = "alice@127.0.0.1:" + std::to_string(providerPort);
    account.password = "alicepw";
    account.registerSeconds = 10;
    return account;
}

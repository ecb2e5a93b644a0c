#include "tests/sipaccount/ProviderDesk.h"

namespace sipaccount {

namespace {

constexpr const char* SippUser = "7477";

} // namespace

bool SippFarEnd::Start(const std::string& scenario, const std::vector<std::string>& arguments) {
    std::string port = std::to_string(Port.sipp);
    std::string provider = "127.0.0.1:" + std::to_string(Port.provider);
    ScriptProcess registration;
    if (!registration.Start("sipp.sh", "sipagents\\sipp-register-" + port,
                            {"reg.xml", provider, "-s", SippUser, "-ap", "7477pw", "-i", "127.0.0.1", "-p",
                             port, "-m", "1", "-timeout", "10", "-timeout_error"}) ||
        !registration.WaitForEnd(Wait) || test::ReadWholeFile(registration.Path("rc")).rfind("0", 0) != 0)
        return false;
    // sipp.sh's "-set" triples first, then these defaults, then the caller's options, which win.
    std::vector<std::string> all = {scenario};
    size_t sets = 0;
    while (sets + 2 < arguments.size() && arguments[sets] == "-set")
        sets += 3;
    all.insert(all.end(), arguments.begin(), arguments.begin() + sets);
    all.insert(all.end(), {"-i", "127.0.0.1", "-p", port, "-mi", "127.0.0.1", "-mp",
                           std::to_string(Port.sippMedia), "-m", "1", "-timeout", "60", "-trace_err"});
    all.insert(all.end(), arguments.begin() + sets, arguments.end());
    return run.Start("sipp.sh", "sipagents\\sipp-" + port, all);
}

int SippFarEnd::Result(DWORD timeoutMs) {
    if (!run.WaitForEnd(timeoutMs))
        return -1;
    std::string rc = test::ReadWholeFile(run.Path("rc"));
    return rc.empty() ? -1 : std::atoi(rc.c_str());
}

std::string SippFarEnd::Output() const {
    return test::ReadWholeFile(run.Path("log"));
}

void ProviderLine::DialSipp(const std::string& scenario, const std::vector<std::string>& arguments) {
    ASSERT_TRUE(sipp.Start(scenario, arguments)) << "SIPp did not start: " << sipp.Output();
    Dial(SippUser);
}

} // namespace sipaccount

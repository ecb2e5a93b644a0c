#include "tests/common/SandboxSound.h"

#include "tests/common/SoundAnalysis.h"
#include "tests/common/TestSupport.h"

namespace test {

namespace {

constexpr const char* Script = "pulse.sh";

// A folder of the sandbox's own (the bin folder is shared by the sandboxes) for one use of the script.
std::string Folder(const std::string& label) {
    return "sound\\" + std::to_string(TestPort(FirstTestPort)) + "-" + label;
}

bool RunToEnd(const char* verb) {
    ScriptProcess script;
    if (!script.Start(Script, Folder(verb), {verb}))
        return false;
    std::string rc;
    WaitUntil([&] { return !(rc = ReadWholeFile(script.Path("rc"))).empty(); }, 10000);
    return rc.compare(0, 1, "0") == 0;
}

} // namespace

bool SoundRecording::Start(const std::string& source, const std::string& label) {
    return script.Start(Script, Folder(label), {"record", source});
}

std::vector<int16_t> SoundRecording::Samples() const {
    return SamplesOf(ReadWholeFile(script.Path("sound.raw")));
}

bool SoundFeed::Start(const std::string& sink, unsigned hz, const std::string& label) {
    return script.Start(Script, Folder(label), {"feed", sink, std::to_string(hz)});
}

bool UnplugBase() {
    return RunToEnd("unplug");
}

bool PlugBase() {
    return RunToEnd("plug");
}

} // namespace test

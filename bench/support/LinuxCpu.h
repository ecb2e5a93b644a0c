#pragma once
// CPU time as Linux accounts it, read through Wine's Z: drive. Wine's own process times are not readable
// from another process, and the Wine server, which does the waiting of every Wine process, is no Windows
// process at all; Linux sees both.
#include <string>
#include <vector>

namespace bench {

// Linux ids of the processes of this Wine prefix (the same WINEPREFIX as this process) whose Linux name is
// one of `names` (Linux cuts names to 15 characters).
std::vector<int> FindPrefixProcesses(const std::vector<std::string>& names);

// The Wine server of this prefix; 0 when none is found.
int FindWineServer();

// CPU time used so far by every thread of the process, in ms; negative when it cannot be read.
double ProcessCpuMs(int pid);

} // namespace bench

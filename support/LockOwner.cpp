#include "support/LockOwner.h"

namespace {

// The calling thread's handle on itself and how many lock words hold its id.
struct SelfHold {
    HANDLE self = nullptr;
    int held = 0;
    ~SelfHold() {
        // A thread that ends holding a lock keeps its id out of reuse: the lock word still names it.
        if (self && held == 0)
            CloseHandle(self);
    }
};

thread_local SelfHold selfHold;

} // namespace

namespace LockOwner {

void BeforeTaking() {
    if (!selfHold.self)
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &selfHold.self,
                        SYNCHRONIZE, FALSE, 0);
}

void Took() {
    ++selfHold.held;
}

void LetGo() {
    if (selfHold.held > 0)
        --selfHold.held;
}

bool Ended(DWORD id) {
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
    if (!thread)
        return true;
    bool ended = WaitForSingleObject(thread, 0) != WAIT_TIMEOUT;
    CloseHandle(thread);
    return ended;
}

} // namespace LockOwner

#pragma once
// Who holds a lock word that carries its holder's thread id, told so that an id Windows gives again
// cannot pass for a holder that ended. A thread keeps a handle on itself from before its first take until
// it ends with nothing held; a holder that was terminated, or ended holding, never lets that handle go, so
// its id stays taken for the life of the process. A lock word that holds an id therefore always names the
// thread that took it: alive, or ended and to be taken over.
#include <windows.h>

namespace LockOwner {

// Called before the calling thread tries to put its id into a lock word.
void BeforeTaking();
// The calling thread's id went into a lock word, or came out of one.
void Took();
void LetGo();
// The thread of this id, which took a lock word, has ended: what it held is to be taken over.
bool Ended(DWORD id);

} // namespace LockOwner

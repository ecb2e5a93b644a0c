#include "siplink/ProgramPath.h"

#include <windows.h>

std::wstring ProgramPath() {
    // Paths longer than MAX_PATH are taken too: the buffer grows until the name fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return L"";
        if (length < path.size())
            return path.substr(0, length);
        path.resize(path.size() * 2);
    }
}

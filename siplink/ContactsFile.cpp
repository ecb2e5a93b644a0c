#include "siplink/ContactsFile.h"

#include <cstring>

namespace {

constexpr const char* Heading =
    "# One contact a line, for example: \"Bob Smith\" <sip:bob@sip.example.net>\r\n";
// A contacts file is a short list; a larger file is read as far as this.
constexpr DWORD LongestRead = 1 << 20;

bool Same(const WIN32_FILE_ATTRIBUTE_DATA& a, const WIN32_FILE_ATTRIBUTE_DATA& b) {
    return a.nFileSizeLow == b.nFileSizeLow && a.nFileSizeHigh == b.nFileSizeHigh &&
           CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

} // namespace

bool ContactsFile::Changed(std::string& text) {
    WIN32_FILE_ATTRIBUTE_DATA now = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &now)) {
        HANDLE made =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (made != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(made, Heading, static_cast<DWORD>(strlen(Heading)), &written, nullptr);
            CloseHandle(made);
        }
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &now))
            now = {};
    }
    if (looked && Same(now, seen))
        return false;
    looked = true;
    seen = now;
    text.clear();
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return true;
    char buffer[4096];
    DWORD count = 0;
    while (text.size() < LongestRead && ReadFile(file, buffer, sizeof buffer, &count, nullptr) && count > 0)
        text.append(buffer, count);
    CloseHandle(file);
    return true;
}

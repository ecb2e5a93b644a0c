#include "support/TraceLog.h"

#include "support/LockOwner.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int LinePrefixLength = 26; // "hh:mm:ss:mmm [0x%08X]\t"
constexpr int MaxTextLength = 32768;
constexpr int LineBufferSize = 32800;
constexpr int FileNameSize = 1004;
static_assert(LinePrefixLength + MaxTextLength + 2 < LineBufferSize, "a whole line fits its buffer");

HANDLE traceFile = INVALID_HANDLE_VALUE;
// Set when no file could be made, here or in the fallback folder: the run goes on without a log instead
// of trying again with every line; a new prefix tries again.
bool traceFileFailed = false;
volatile LONG traceLevel = 0;
volatile LONG traceLock = 0;
char* tracePrefix = nullptr;
SYSTEMTIME traceFileDate;
TraceClock traceClock = nullptr;

void ReadClock(SYSTEMTIME* now) {
    if (traceClock)
        traceClock(now);
    else
        GetLocalTime(now);
}

// A spin lock on one word: it holds the owning thread's id, and a waiting thread polls every 25 ms. A
// thread ended inside a trace (terminated because it would not stop) never lets go, so a waiter takes the
// lock over from an owner that has ended; the owner's id cannot have been given to another thread meanwhile.
void AcquireTraceLock() {
    LONG id = static_cast<LONG>(GetCurrentThreadId());
    if (traceLock == id)
        return;
    LockOwner::BeforeTaking();
    for (;;) {
        LONG held = InterlockedCompareExchange(&traceLock, id, 0);
        if (held == 0 || (LockOwner::Ended(static_cast<DWORD>(held)) &&
                          InterlockedCompareExchange(&traceLock, id, held) == held))
            break;
        Sleep(25);
    }
    LockOwner::Took();
}

void ReleaseTraceLock() {
    LONG id = static_cast<LONG>(GetCurrentThreadId());
    if (InterlockedCompareExchange(&traceLock, 0, id) == id)
        LockOwner::LetGo();
}

void CloseTraceFile() {
    if (traceFile != INVALID_HANDLE_VALUE)
        CloseHandle(traceFile);
    traceFile = INVALID_HANDLE_VALUE;
}

HANDLE CreateTraceFile(const char* name) {
    return CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// Makes the folder a file name lies in, and every folder above it that is missing.
void CreateFolderOf(const char* name) {
    std::string folder(name);
    size_t end = folder.find_last_of("\\/");
    if (end == std::string::npos)
        return;
    folder.resize(end);
    for (size_t at = folder.find_first_of("\\/"); at != std::string::npos;
         at = folder.find_first_of("\\/", at + 1))
        CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
}

// The same file name in the user's temporary folder, "" when there is none.
std::string InTempFolder(const char* name) {
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return "";
    const char* slash = std::strrchr(name, '\\');
    return std::string(temp) + (slash ? slash + 1 : name);
}

// A PC need not have the prefix's folder: it is made when missing, and when it cannot be, the log goes to
// the user's temporary folder under the same name.
void OpenTraceFile() {
    SYSTEMTIME t;
    ReadClock(&t);
    char name[FileNameSize];
    std::snprintf(name, sizeof name, "%s_%04d%02d%02d_%02d%02d%02d_%X.txt",
                  tracePrefix ? tracePrefix : "Trace", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond, static_cast<unsigned>(GetCurrentProcessId()));
    HANDLE file = CreateTraceFile(name);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND) {
        CreateFolderOf(name);
        file = CreateTraceFile(name);
    }
    if (file == INVALID_HANDLE_VALUE) {
        std::string fallback = InTempFolder(name);
        if (!fallback.empty())
            file = CreateTraceFile(fallback.c_str());
    }
    if (file == INVALID_HANDLE_VALUE) {
        traceFileFailed = true;
        return;
    }
    traceFile = file;
    traceFileDate = t;
}

// Closes the file and frees the prefix when the process ends.
struct TraceCleanup {
    ~TraceCleanup() {
        // Lines from threads still running drop out instead of starting a file of the default name.
        traceLevel = 0;
        CloseTraceFile();
        std::free(tracePrefix);
        tracePrefix = nullptr;
    }
} traceCleanup;

} // namespace

void Trace(int level, const char* format, ...) {
    if (traceLevel == 0 || level > traceLevel)
        return;
    AcquireTraceLock();
    SYSTEMTIME now;
    ReadClock(&now);
    if (traceFile != INVALID_HANDLE_VALUE &&
        (now.wYear != traceFileDate.wYear || now.wMonth != traceFileDate.wMonth ||
         now.wDay != traceFileDate.wDay))
        CloseTraceFile();
    if (traceFile == INVALID_HANDLE_VALUE && !traceFileFailed)
        OpenTraceFile();
    if (traceFile != INVALID_HANDLE_VALUE) {
        char line[LineBufferSize];
        int length =
            std::snprintf(line, sizeof line, "%02d:%02d:%02d:%03d [0x%08X]\t", now.wHour, now.wMinute,
                          now.wSecond, now.wMilliseconds, static_cast<unsigned>(GetCurrentThreadId()));
        va_list args;
        va_start(args, format);
        // Text beyond the buffer's share is cut; the line itself is always written. The share is what the
        // prefix left, for a clock whose fields are wider than a real one's.
        int room = LineBufferSize - length - 2;
        if (room > MaxTextLength + 1)
            room = MaxTextLength + 1;
        int text = std::vsnprintf(line + length, static_cast<size_t>(room), format, args);
        va_end(args);
        if (text < 0)
            text = 0;
        length += text < room ? text : room - 1;
        line[length++] = '\r';
        line[length++] = '\n';
        DWORD written = 0;
        WriteFile(traceFile, line, static_cast<DWORD>(length), &written, nullptr);
    }
    ReleaseTraceLock();
}

void SetTraceFile(const char* prefix) {
    AcquireTraceLock();
    CloseTraceFile();
    traceFileFailed = false;
    std::free(tracePrefix);
    tracePrefix = _strdup(prefix ? prefix : "");
    ReleaseTraceLock();
}

void SetTraceLevel(int level) {
    AcquireTraceLock();
    traceLevel = level > 0 ? level : 0;
    ReleaseTraceLock();
}

void SetTraceClock(TraceClock clock) {
    AcquireTraceLock();
    traceClock = clock;
    ReleaseTraceLock();
}

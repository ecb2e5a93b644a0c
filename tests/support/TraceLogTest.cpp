// The trace log: level filter, file names, new files on a date change or a new prefix, whole lines from
// concurrent threads. The log's clock is replaced by one the tests set.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TraceLog.h"
#include "tests/common/TestSupport.h"

namespace {

constexpr const char* Folder = "c:\\temp\\DectBridgeTraceTests";
const std::string Prefix = std::string(Folder) + "\\Test.log";

SYSTEMTIME fakeNow;
void FakeClock(SYSTEMTIME* now) {
    *now = fakeNow;
}

void SetClock(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD millisecond) {
    fakeNow = SYSTEMTIME{year, month, 0, day, hour, minute, second, millisecond};
}

std::string FileName(const std::string& prefix, const SYSTEMTIME& t, DWORD pid = GetCurrentProcessId()) {
    char name[1100];
    std::snprintf(name, sizeof name, "%s_%04d%02d%02d_%02d%02d%02d_%X.txt", prefix.c_str(), t.wYear, t.wMonth,
                  t.wDay, t.wHour, t.wMinute, t.wSecond, static_cast<unsigned>(pid));
    return name;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(text.size(), start) << "text after the last line end: " << text.substr(start);
    return lines;
}

std::string LinePrefix(const SYSTEMTIME& t, DWORD threadId = GetCurrentThreadId()) {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%02d:%02d:%02d:%03d [0x%08X]\t", t.wHour, t.wMinute, t.wSecond,
                  t.wMilliseconds, static_cast<unsigned>(threadId));
    return prefix;
}

// The log files in the tests' folder, in order of their names (dates sort as text).
std::vector<std::string> LogFiles() {
    std::vector<std::string> files = test::FindFiles(std::string(Folder) + "\\*.txt");
    std::sort(files.begin(), files.end());
    return files;
}

class TraceLog : public ::testing::Test {
  protected:
    void SetUp() override {
        CreateDirectoryA("c:\\temp", nullptr);
        CreateDirectoryA(Folder, nullptr);
        test::DeleteFiles(std::string(Folder) + "\\*.txt");
        SetClock(2005, 9, 15, 14, 12, 11, 42);
        SetTraceClock(FakeClock);
        SetTraceFile(Prefix.c_str());
        SetTraceLevel(40);
    }
    void TearDown() override {
        // Closes the file, so that the folder can be emptied.
        SetTraceFile(Prefix.c_str());
        SetTraceLevel(0);
        SetTraceClock(nullptr);
        test::DeleteFiles(std::string(Folder) + "\\*.txt");
        RemoveDirectoryA(Folder);
    }
};

TEST_F(TraceLog, LinesAtAndBelowTheThresholdAreWritten) {
    Trace(10, "banner");
    Trace(40, "at the threshold %d", 40);
    Trace(41, "above the threshold");
    Trace(20, "Skype Connected");
    SetTraceFile(Prefix.c_str());

    std::string name = FileName(Prefix, fakeNow);
    ASSERT_EQ(std::vector<std::string>{name}, LogFiles());
    std::string prefix = LinePrefix(fakeNow);
    EXPECT_EQ(prefix + "banner\r\n" + prefix + "at the threshold 40\r\n" + prefix + "Skype Connected\r\n",
              test::ReadWholeFile(name));
}

TEST_F(TraceLog, LevelZeroWritesNothingAndCreatesNoFile) {
    for (int level : {0, -3}) {
        SetTraceLevel(level);
        Trace(0, "level %d", level);
        Trace(-10, "level %d", level);
        Trace(1, "level %d", level);
        EXPECT_TRUE(LogFiles().empty()) << "threshold " << level << " created " << LogFiles()[0];
    }
}

TEST_F(TraceLog, FileNameCarriesDateTimeAndProcessId) {
    SetClock(2031, 1, 2, 3, 4, 5, 6);
    Trace(20, "x");
    std::vector<std::string> files = LogFiles();
    ASSERT_EQ(1u, files.size());
    char expected[200];
    std::snprintf(expected, sizeof expected, "%s_20310102_030405_%X.txt", Prefix.c_str(),
                  static_cast<unsigned>(GetCurrentProcessId()));
    EXPECT_EQ(expected, files[0]);
}

TEST_F(TraceLog, AnEmptyPrefixStartsTheNameWithUnderscore) {
    char folder[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, folder);
    ASSERT_TRUE(SetCurrentDirectoryA(Folder));
    for (const char* prefix : {"", static_cast<const char*>(nullptr)}) {
        SetTraceFile(prefix);
        Trace(20, "empty prefix");
        SetTraceFile(Prefix.c_str());
        std::string name = FileName(std::string(Folder) + "\\", fakeNow);
        EXPECT_EQ(std::vector<std::string>{name}, LogFiles()) << "prefix " << (prefix ? "\"\"" : "null");
        DeleteFileA(name.c_str());
    }
    SetCurrentDirectoryA(folder);
}

TEST_F(TraceLog, WithoutAnyPrefixTheNameBeginsWithTrace) {
    test::Process child;
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    ASSERT_TRUE(child.Start(self, "/trace-child"));
    ASSERT_EQ(0u, child.Wait(30000));
    std::string name = FileName(std::string(Folder) + "\\Trace", fakeNow, child.Id());
    ASSERT_EQ(std::vector<std::string>{name}, LogFiles());
    EXPECT_EQ("no prefix", Lines(test::ReadWholeFile(name)).at(0).substr(26));
}

TEST_F(TraceLog, TheFirstLineOfANewDayStartsANewFile) {
    SetClock(2005, 9, 15, 23, 59, 58, 0);
    SYSTEMTIME first = fakeNow;
    Trace(20, "first day");
    SetClock(2005, 9, 15, 23, 59, 59, 999);
    Trace(20, "still the first day");
    SetClock(2005, 9, 16, 0, 0, 1, 5);
    SYSTEMTIME second = fakeNow;
    Trace(20, "second day");
    SetTraceFile(Prefix.c_str());

    std::string firstName = FileName(Prefix, first);
    std::string secondName = FileName(Prefix, second);
    ASSERT_EQ((std::vector<std::string>{firstName, secondName}), LogFiles());
    std::vector<std::string> firstLines = Lines(test::ReadWholeFile(firstName));
    ASSERT_EQ(2u, firstLines.size());
    EXPECT_EQ("still the first day", firstLines[1].substr(26));
    EXPECT_EQ(std::vector<std::string>{LinePrefix(second) + "second day"},
              Lines(test::ReadWholeFile(secondName)));

    // Another month or year with the same day number is another day too.
    SetClock(2005, 10, 16, 0, 0, 1, 5);
    Trace(20, "next month");
    SetClock(2006, 10, 16, 0, 0, 1, 5);
    Trace(20, "next year");
    EXPECT_EQ(4u, LogFiles().size());
}

TEST_F(TraceLog, SettingTheSamePrefixAgainStartsANewFile) {
    Trace(20, "one");
    SYSTEMTIME first = fakeNow;
    SetTraceFile(Prefix.c_str());
    SetClock(2005, 9, 15, 14, 12, 12, 0);
    Trace(20, "two");
    SetTraceFile(Prefix.c_str());
    ASSERT_EQ((std::vector<std::string>{FileName(Prefix, first), FileName(Prefix, fakeNow)}), LogFiles());
    EXPECT_EQ(std::vector<std::string>{LinePrefix(fakeNow) + "two"},
              Lines(test::ReadWholeFile(FileName(Prefix, fakeNow))));
}

TEST_F(TraceLog, ConcurrentThreadsWriteWholeLinesWithTheirOwnIds) {
    constexpr int LinesPerThread = 150;
    std::map<DWORD, char> letters;
    auto writer = [](char letter) {
        std::string text(700, letter);
        for (int i = 0; i < LinesPerThread; ++i)
            Trace(20, "%s", text.c_str());
    };
    DWORD ids[2] = {};
    std::thread a([&] {
        ids[0] = GetCurrentThreadId();
        writer('a');
    });
    std::thread b([&] {
        ids[1] = GetCurrentThreadId();
        writer('b');
    });
    a.join();
    b.join();
    letters[ids[0]] = 'a';
    letters[ids[1]] = 'b';
    SetTraceFile(Prefix.c_str());

    std::vector<std::string> lines = Lines(test::ReadWholeFile(FileName(Prefix, fakeNow)));
    ASSERT_EQ(2u * LinesPerThread, lines.size());
    std::map<char, int> counts;
    for (const std::string& line : lines) {
        unsigned id = 0;
        ASSERT_EQ(1, std::sscanf(line.c_str() + 13, "[0x%08X]", &id)) << line.substr(0, 40);
        ASSERT_EQ(1u, letters.count(id)) << "unknown thread id in " << line.substr(0, 40);
        char letter = letters[id];
        EXPECT_EQ(LinePrefix(fakeNow, id) + std::string(700, letter), line) << "thread " << letter;
        ++counts[letter];
    }
    EXPECT_EQ(LinesPerThread, counts['a']);
    EXPECT_EQ(LinesPerThread, counts['b']);
}

// How the stuck child ends: 0 when every waiting thread wrote its lines and no two threads held the log at
// once.
enum StuckChildEnd : DWORD {
    StuckChildDone = 0,
    StuckChildNeverStuck = 2,
    StuckChildWaitersHung = 3,
    StuckChildTwoHolders = 4,
    StuckChildLinesLost = 5,
};
constexpr int StuckChildWaiters = 4;
constexpr int StuckChildLines = 25;

TEST_F(TraceLog, AThreadTerminatedInsideATraceLeavesTheLogToTheOthers) {
    test::Process child;
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    ASSERT_TRUE(child.Start(self, "/trace-stuck-child"));
    DWORD end = child.Wait(30000);
    if (end == STILL_ACTIVE)
        child.Kill();
    EXPECT_EQ(static_cast<DWORD>(StuckChildDone), end)
        << "2: the thread never got stuck; 3 (or 259, killed): the other threads still waited for the log; "
           "4: "
           "two threads held the log at once; 5: lines were lost";
}

TEST_F(TraceLog, TextBeyondTheLineBufferIsCut) {
    std::string huge(40000, 'h');
    std::string normalName = FileName(Prefix, fakeNow);
    Trace(20, "%s", huge.c_str());
    // A clock with fields wider than real ones makes a longer line prefix; the line must still fit.
    SetClock(65535, 65535, 65535, 65535, 65535, 65535, 65535);
    std::string wideName = FileName(Prefix, fakeNow);
    Trace(20, "%s", huge.c_str());
    SetTraceFile(Prefix.c_str());

    std::vector<std::string> normal = Lines(test::ReadWholeFile(normalName));
    ASSERT_EQ(1u, normal.size());
    EXPECT_EQ(LinePrefix(SYSTEMTIME{2005, 9, 0, 15, 14, 12, 11, 42}) + std::string(32768, 'h'), normal[0]);
    std::vector<std::string> wide = Lines(test::ReadWholeFile(wideName));
    ASSERT_EQ(1u, wide.size());
    EXPECT_GE(32799u, wide[0].size() + 2) << "the line overran its buffer";
    EXPECT_EQ(LinePrefix(fakeNow), wide[0].substr(0, LinePrefix(fakeNow).size()));
    EXPECT_EQ(std::string(100, 'h'), wide[0].substr(wide[0].size() - 100));
}

// A PC without the log's folder: the folder is made, however deep.
TEST_F(TraceLog, AMissingLogFolderIsMade) {
    const std::string deeper = std::string(Folder) + "\\made";
    const std::string deepest = deeper + "\\here";
    std::string prefix = deepest + "\\Test.log";
    SetTraceFile(prefix.c_str());
    Trace(20, "into a new folder");
    SetTraceFile(Prefix.c_str());

    std::string name = FileName(prefix, fakeNow);
    std::string text = test::ReadWholeFile(name);
    DeleteFileA(name.c_str());
    RemoveDirectoryA(deepest.c_str());
    RemoveDirectoryA(deeper.c_str());
    EXPECT_EQ(LinePrefix(fakeNow) + "into a new folder\r\n", text) << name;
}

// A folder that cannot be made (a file holds its name) sends the log to the user's temporary folder, under
// the same name; when that fails too, the run goes on without a log and no line tries again.
class TraceLogFolderBlocked : public TraceLog {
  protected:
    void SetUp() override {
        TraceLog::SetUp();
        HANDLE file = CreateFileA(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        CloseHandle(file);
        GetEnvironmentVariableA("TMP", savedTmp, sizeof savedTmp);
        GetEnvironmentVariableA("TEMP", savedTemp, sizeof savedTemp);
    }
    void TearDown() override {
        SetEnvironmentVariableA("TMP", savedTmp[0] ? savedTmp : nullptr);
        SetEnvironmentVariableA("TEMP", savedTemp[0] ? savedTemp : nullptr);
        SetTraceFile(Prefix.c_str());
        test::DeleteFiles(blocker + "\\*.txt");
        RemoveDirectoryA(blocker.c_str());
        DeleteFileA(blocker.c_str());
        TraceLog::TearDown();
    }
    const std::string blocker = std::string(Folder) + "\\blocker";
    const std::string prefix = blocker + "\\Test.log";
    char savedTmp[MAX_PATH] = "";
    char savedTemp[MAX_PATH] = "";
};

TEST_F(TraceLogFolderBlocked, TheLogGoesToTheTemporaryFolder) {
    const std::string temp = std::string(Folder) + "\\temp";
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    SetEnvironmentVariableA("TMP", temp.c_str());
    SetEnvironmentVariableA("TEMP", temp.c_str());
    SetTraceFile(prefix.c_str());
    Trace(20, "in the temporary folder");
    SetTraceFile(Prefix.c_str());

    std::string name = FileName(temp + "\\Test.log", fakeNow);
    std::string text = test::ReadWholeFile(name);
    DeleteFileA(name.c_str());
    RemoveDirectoryA(temp.c_str());
    EXPECT_EQ(LinePrefix(fakeNow) + "in the temporary folder\r\n", text) << name;
}

TEST_F(TraceLogFolderBlocked, ALogThatCannotBeMadeIsNotTriedAgainUntilANewPrefix) {
    const std::string noTemp = blocker + "\\temp";
    SetEnvironmentVariableA("TMP", noTemp.c_str());
    SetEnvironmentVariableA("TEMP", noTemp.c_str());
    SetTraceFile(prefix.c_str());
    Trace(20, "lost");
    // The folder becomes possible: the run has given up on its log all the same.
    ASSERT_TRUE(DeleteFileA(blocker.c_str()));
    ASSERT_TRUE(CreateDirectoryA(blocker.c_str(), nullptr));
    Trace(20, "lost too");
    EXPECT_TRUE(test::FindFiles(blocker + "\\*.txt").empty()) << "a later line tried the file again";

    SetTraceFile(prefix.c_str());
    Trace(20, "written");
    SetTraceFile(Prefix.c_str());
    EXPECT_EQ(LinePrefix(fakeNow) + "written\r\n", test::ReadWholeFile(FileName(prefix, fakeNow)));
}

} // namespace

// A process whose thread is terminated inside a trace while others wait for the log; then the window's
// thread traces too. Started by the test above; its exit code says how it went.
namespace {

DWORD stuckThread = 0;
HANDLE stuckInside = nullptr;
std::atomic<int> logHolders{0};
std::atomic<bool> twoHolders{false};

// Read under the log's lock: the stuck thread stays in it for ever, the others note who else is in it.
void StuckClock(SYSTEMTIME* now) {
    if (GetCurrentThreadId() == stuckThread) {
        SetEvent(stuckInside);
        Sleep(INFINITE);
    }
    if (++logHolders > 1)
        twoHolders = true;
    Sleep(1);
    --logHolders;
    *now = fakeNow;
}

DWORD WINAPI TraceOnce(void*) {
    Trace(20, "stuck");
    return 0;
}

} // namespace

int RunStuckTraceChild() {
    if (!SetCurrentDirectoryA(Folder))
        return 1;
    SetClock(2005, 9, 15, 14, 12, 11, 42);
    SetTraceFile("stuck.log");
    SetTraceLevel(40);
    stuckInside = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE stuck = CreateThread(nullptr, 0, TraceOnce, nullptr, CREATE_SUSPENDED, &stuckThread);
    SetTraceClock(StuckClock);
    ResumeThread(stuck);
    if (WaitForSingleObject(stuckInside, 10000) != WAIT_OBJECT_0)
        return StuckChildNeverStuck;
    std::atomic<int> waitersDone{0};
    for (int i = 0; i < StuckChildWaiters; ++i)
        std::thread([&] {
            for (int line = 0; line < StuckChildLines; ++line)
                Trace(20, "waiter line %d", line);
            ++waitersDone;
        }).detach();
    Sleep(100); // all of them wait for the log now
    TerminateThread(stuck, 1);
    WaitForSingleObject(stuck, INFINITE);
    CloseHandle(stuck);
    if (!test::WaitUntil([&] { return waitersDone == StuckChildWaiters; }, 10000))
        ExitProcess(StuckChildWaitersHung);
    Trace(20, "window line");
    SetTraceFile("stuck.log");
    if (twoHolders)
        return StuckChildTwoHolders;
    std::vector<std::string> files = test::FindFiles(std::string(Folder) + "\\stuck.log_*.txt");
    if (files.size() != 1)
        return StuckChildLinesLost;
    std::vector<std::string> lines = Lines(test::ReadWholeFile(files[0]));
    bool whole =
        lines.size() == StuckChildWaiters * StuckChildLines + 1 && lines.back().substr(26) == "window line";
    return whole ? StuckChildDone : StuckChildLinesLost;
}

// A process that never names its log: started by the test above through the test program's own entry.
int RunTraceChild() {
    if (!SetCurrentDirectoryA(Folder))
        return 1;
    SetClock(2005, 9, 15, 14, 12, 11, 42);
    SetTraceClock(FakeClock);
    SetTraceLevel(40);
    Trace(20, "no prefix");
    return 0;
}

// SipLink's log: what a line shows of a text, and a file that never grows past its limit.
#include <gtest/gtest.h>
#include <windows.h>

#include "siplink/LogFile.h"
#include "siplink/LogText.h"
#include "tests/common/TestSupport.h"

namespace {

TEST(LogText, ALineShowsABoundedTextWithoutLineBreaks) {
    EXPECT_EQ(LogText("two\r\nlines"), "two\\r\\nlines");
    std::string whole(1 << 20, 'x');
    EXPECT_EQ(LogText(whole), std::string(LogTextKept, 'x') + "... (1048576 bytes)");
    EXPECT_EQ(LogText(std::string(LogTextKept, 'y')), std::string(LogTextKept, 'y')) << "cut what fits";
    EXPECT_EQ(LogText(std::string(LogTextKept - 1, 'z') + "\n\n"),
              std::string(LogTextKept - 1, 'z') + "\\n... (1025 bytes)")
        << "an escaped break at the cut";
}

TEST(LogFile, TheLogRotatesAtItsLimitAndKeepsTheNewestLines) {
    const std::string path = "c:\\temp\\SipLinkLogTest.log";
    CreateDirectoryA("c:\\temp", nullptr);
    DeleteFileA(path.c_str());
    DeleteFileA((path + ".1").c_str());
    {
        LogFile log(4096);
        log.Open(path);
        for (int i = 0; i < 1000; ++i)
            log.Write("LINE", std::to_string(i) + " " + std::string(i % 7 == 0 ? 5000 : 40, 'x'));
    }
    std::string current = test::ReadWholeFile(path), previous = test::ReadWholeFile(path + ".1");
    EXPECT_LE(current.size(), 4096u);
    EXPECT_LE(previous.size(), 4096u);
    EXPECT_GT(previous.size(), 2048u) << "a rotated file is full";
    EXPECT_NE(current.find(" LINE 999 "), std::string::npos) << current;
    EXPECT_EQ(current.find(" LINE 0 "), std::string::npos);
    EXPECT_EQ(current.substr(current.size() - 2), "\r\n") << "lines stay whole";
    DeleteFileA(path.c_str());
    DeleteFileA((path + ".1").c_str());
}

} // namespace

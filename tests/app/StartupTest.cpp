// The program's start-up frame, run as a user runs it: one real DectBridge.exe (or two) against the
// simulated phone library.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/res/resource.h"
#include "chip/PhoneLibrary.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "tests/common/Program.h"
#include "tests/common/SkypeTestSupport.h"

namespace {

using test::BinDir;
using test::Program;
using test::WaitUntil;

// The operations the library received, from call number `from` on.
std::vector<int> CalledOps(size_t from = 0) {
    std::vector<int> ops;
    auto calls = SimCalls();
    for (size_t i = from; i < calls.size(); ++i)
        ops.push_back(calls[i].op);
    return ops;
}

std::string Join(const std::vector<int>& ops) {
    std::string text;
    for (int op : ops)
        text += std::to_string(op) + " ";
    return text;
}

// The address of the shared word in a running copy: the "SharedHa" section of DectBridge.exe.
ULONG_PTR SharedWordAddress() {
    HMODULE image =
        LoadLibraryExA((BinDir() + "\\DectBridge.exe").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!image)
        return 0;
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(image);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(reinterpret_cast<BYTE*>(image) + dos->e_lfanew);
    ULONG_PTR base = nt->OptionalHeader.ImageBase;
    ULONG_PTR address = 0;
    IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
        if (std::string(reinterpret_cast<char*>(section->Name), 8).rfind("SharedHa", 0) == 0)
            address = base + section->VirtualAddress;
    FreeLibrary(image);
    return address;
}

// The frame alone: no base is plugged in, so no device start-up (and no Skype discovery) joins in.
void ResetWithoutBase() {
    SimReset();
    WithSim([](SimState& state) { state.config.plugged = 0; });
}

class Startup : public ::testing::Test {
  protected:
    void SetUp() override { ResetWithoutBase(); }
};

TEST_F(Startup, ShowsMainWindowAndHiddenExitWindowAndWritesBanner) {
    Program program;
    ASSERT_TRUE(program.Start()) << "no window titled \"TRL-400 1.2\"";
    HWND exitWindow = test::WaitForWindow("TigerJetTjInitApp", 5000);
    ASSERT_NE(exitWindow, nullptr);
    EXPECT_FALSE(IsWindowVisible(exitWindow));
    EXPECT_EQ(GetDlgCtrlID(exitWindow), 374);

    std::string traceName = program.TraceFile();
    ASSERT_FALSE(traceName.empty()) << "no c:\\temp\\Telvane.log_*_<pid>.txt";
    // c:\temp\Telvane.log_YYYYMMDD_HHMMSS_PID.txt, the date and time being today's.
    SYSTEMTIME now;
    GetLocalTime(&now);
    char today[16];
    std::snprintf(today, sizeof today, "%04d%02d%02d_", now.wYear, now.wMonth, now.wDay);
    std::string stem = traceName.substr(std::string("c:\\temp\\").size());
    EXPECT_EQ(stem.rfind(std::string("Telvane.log_") + today, 0), 0u) << stem;
    EXPECT_EQ(stem.find_first_not_of("0123456789", 21), 27u) << stem;
    std::string trace = test::ReadWholeFile(traceName);
    EXPECT_NE(trace.find("\tDectBridge 1.2 started\r\n"), std::string::npos) << trace;

    // The library received the main window.
    auto calls = SimCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().op, OpAttachWindow);
    EXPECT_EQ(calls.front().a, static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(program.MainWindow())));
}

TEST_F(Startup, MainWindowIsPlacedWithItsRightEdgeOnTheScreenCentre) {
    Program program;
    ASSERT_TRUE(program.Start());
    RECT rect;
    GetWindowRect(program.MainWindow(), &rect);
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - w, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    EXPECT_EQ(rect.left, x > 0 ? x : 0);
    EXPECT_EQ(rect.top, y > 0 ? y : 0);
}

TEST_F(Startup, ExitRequestShutsDownInOrder) {
    Program program;
    ASSERT_TRUE(program.Start());
    size_t before = SimCalls().size();
    EXPECT_NE(program.SendExitRequest(0x04C81269), 0);
    ASSERT_NE(program.Proc().Wait(10000), static_cast<DWORD>(STILL_ACTIVE))
        << "still running after the request";
    std::vector<int> expected = {OpDetachWindow, OpCloseMixer, OpCloseDevice};
    EXPECT_EQ(CalledOps(before), expected) << "library calls: " << Join(CalledOps(before));
}

TEST_F(Startup, ExitRequestTestsOnlyTheMarkedBits) {
    Program program;
    ASSERT_TRUE(program.Start());
    // Wrong low byte, wrong high word: nothing happens.
    program.SendExitRequest(0x04C80068);
    program.SendExitRequest(0x04C90069);
    EXPECT_EQ(program.Proc().Wait(1500), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(IsWindow(program.MainWindow()));
    // Any middle byte with the right high word and low byte exits.
    program.SendExitRequest(0x04C8FF69);
    EXPECT_NE(program.Proc().Wait(10000), static_cast<DWORD>(STILL_ACTIVE));
}

TEST_F(Startup, CloseBoxAndExitButtonShutDownLikeTheExitRequest) {
    for (UINT message : {static_cast<UINT>(WM_CLOSE), static_cast<UINT>(WM_COMMAND)}) {
        ResetWithoutBase();
        Program program;
        ASSERT_TRUE(program.Start());
        size_t before = SimCalls().size();
        if (message == WM_CLOSE)
            PostMessageA(program.MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            PostMessageA(program.MainWindow(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ASSERT_NE(program.Proc().Wait(10000), static_cast<DWORD>(STILL_ACTIVE)) << "message " << message;
        std::vector<int> expected = {OpDetachWindow, OpCloseMixer, OpCloseDevice};
        EXPECT_EQ(CalledOps(before), expected) << "message " << message << ": " << Join(CalledOps(before));
    }
}

TEST_F(Startup, EscapeDoesNotEndTheRun) {
    Program program;
    ASSERT_TRUE(program.Start());
    PostMessageA(program.MainWindow(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    HWND focus = GetDlgItem(program.MainWindow(), 1059);
    PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(program.Proc().Wait(1500), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(IsWindow(program.MainWindow()));
}

// The dialog manager turns Enter into the default button's command, and the Exit button's id is OK's: Enter
// ends the program only on the Exit button.
TEST_F(Startup, EnterEndsTheRunOnlyOnTheExitButton) {
    // A base, so that the levels and mute switches can take the focus.
    WithSim([](SimState& state) { state.config.plugged = 1; });
    skype_test::SetSkypeKey(true); // no box about a missing Skype holds up the base's start
    Program program;
    ASSERT_TRUE(program.Start());
    HWND window = program.MainWindow();
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(window, IDC_MIC_MUTE)) != FALSE; }, 15000))
        << "the base's controls stayed disabled";
    // As the keyboard delivers Enter to the control with the focus: through the program's message loop.
    auto pressEnter = [&](int id) {
        HWND control = GetDlgItem(window, id);
        SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        bool focused = GetGUIThreadInfo(thread, &info) && info.hwndFocus == control;
        PostMessageA(control, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageA(control, WM_CHAR, '\r', 1);
        PostMessageA(control, WM_KEYUP, VK_RETURN, 0xC0000001);
        return focused;
    };
    // The first thing a shutdown does is to detach the window from the library.
    auto shutDownBegan = [](size_t from) {
        return WaitUntil(
            [&] {
                std::vector<int> ops = CalledOps(from);
                return std::find(ops.begin(), ops.end(), OpDetachWindow) != ops.end();
            },
            1500);
    };
    for (int id : {IDC_ONLINE_ONLY, IDC_COUNTRY_CODE, IDC_SPEAKER_LEVEL, IDC_SPEAKER_MUTE, IDC_MIC_LEVEL,
                   IDC_MIC_MUTE}) {
        size_t before = SimCalls().size();
        EXPECT_TRUE(pressEnter(id)) << "control " << id << " did not take the focus";
        ASSERT_FALSE(shutDownBegan(before)) << "Enter in control " << id << " ended the program";
    }
    EXPECT_TRUE(pressEnter(IDOK)) << "the Exit button did not take the focus";
    EXPECT_NE(program.Proc().Wait(10000), static_cast<DWORD>(STILL_ACTIVE)) << "Enter on Exit did not exit";
}

TEST_F(Startup, SecondCopyBringsTheFirstForwardEvenWhenHidden) {
    Program first;
    ASSERT_TRUE(first.Start());
    ShowWindow(first.MainWindow(), SW_HIDE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(first.MainWindow()); }, 3000));

    test::Process second;
    ASSERT_TRUE(second.Start(BinDir() + "\\DectBridge.exe"));
    EXPECT_EQ(second.Wait(10000), 0u) << "the second copy did not end";
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(first.MainWindow()) != FALSE; }, 3000))
        << "the first copy's window stayed hidden";
    EXPECT_TRUE(first.Proc().Running());
}

TEST_F(Startup, CopyThatFindsAnotherStartingEndsSilently) {
    Program first;
    ASSERT_TRUE(first.Start());
    ULONG_PTR address = SharedWordAddress();
    ASSERT_NE(address, 0u) << "DectBridge.exe has no SharedHa section";
    HANDLE process =
        OpenProcess(PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_VM_OPERATION, FALSE, first.Proc().Id());
    ASSERT_NE(process, nullptr);
    LONG word = 0;
    SIZE_T done = 0;
    ASSERT_TRUE(ReadProcessMemory(process, reinterpret_cast<void*>(address), &word, sizeof word, &done));
    EXPECT_EQ(word, static_cast<LONG>(reinterpret_cast<LONG_PTR>(first.MainWindow())))
        << "the shared word does not hold the main window";

    // Pretend another copy is between its check and its window.
    ShowWindow(first.MainWindow(), SW_HIDE);
    LONG starting = -1;
    ASSERT_TRUE(
        WriteProcessMemory(process, reinterpret_cast<void*>(address), &starting, sizeof starting, &done));
    test::Process second;
    ASSERT_TRUE(second.Start(BinDir() + "\\DectBridge.exe"));
    EXPECT_EQ(second.Wait(10000), 0u) << "the second copy did not end";
    EXPECT_FALSE(test::AnswerMessageBox(second.Id(), IDOK, 300)) << "the second copy showed a message";
    EXPECT_FALSE(IsWindowVisible(first.MainWindow())) << "the first window was brought forward";

    ASSERT_TRUE(WriteProcessMemory(process, reinterpret_cast<void*>(address), &word, sizeof word, &done));
    CloseHandle(process);
}

TEST_F(Startup, AnotherPhoneProgramRefusesTheStart) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "OtherPhoneProgram";
    RegisterClassA(&windowClass);
    HWND other = CreateWindowA("OtherPhoneProgram", "TigerJetIPPhoneCenter", WS_OVERLAPPED, 0, 0, 10, 10,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(other, nullptr);

    Program program;
    ASSERT_TRUE(program.Launch());
    std::string text;
    EXPECT_TRUE(test::AnswerMessageBox(program.Proc().Id(), IDOK, 10000, &text));
    EXPECT_EQ(text,
              "Warning! An application using VOIP device is still running. Please close it then run this "
              "application again.");
    EXPECT_NE(program.Proc().Wait(10000), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(test::WaitForWindow(test::MainWindowTitle, 0), nullptr);
    EXPECT_TRUE(SimCalls().empty()) << "the library was used: " << Join(CalledOps());
    DestroyWindow(other);
}

TEST_F(Startup, MissingLibraryIsReportedAndEndsTheProgram) {
    std::string folder = "c:\\temp\\nolibrary";
    CreateDirectoryA("c:\\temp", nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string copy = folder + "\\DectBridge.exe";
    ASSERT_TRUE(CopyFileA((BinDir() + "\\DectBridge.exe").c_str(), copy.c_str(), FALSE));

    Program program;
    ASSERT_TRUE(program.Launch(copy));
    std::string text;
    EXPECT_TRUE(test::AnswerMessageBox(program.Proc().Id(), IDOK, 10000, &text));
    // The old words, then where the library comes from and where it must go.
    EXPECT_EQ(text, "Can't load tjipsys.dll. Please reinstall \nyour software and try again.\n\n"
                    "TjIpSys.dll is the phone library of your DECT base: it comes with the software of the "
                    "base's maker. DectBridge loads it from its own folder:\n" +
                        folder +
                        "\nCopy TjIpSys.dll from the base's software into that folder, then start DectBridge "
                        "again.");
    EXPECT_NE(program.Proc().Wait(10000), static_cast<DWORD>(STILL_ACTIVE));
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());

    // The shared word went back to 0: a new copy starts normally.
    Program next;
    EXPECT_TRUE(next.Start()) << "a later start was refused";
}

// Any program may post WM_QUIT to the window; the run then ends through the same orderly shutdown: the
// event thread stopped, the library detached, mixer and device closed, the country code saved.
TEST_F(Startup, AQuitFromAnotherProgramShutsDownInOrder) {
    WithSim([](SimState& state) { state.config.plugged = 1; });
    skype_test::SetSkypeKey(true);
    Program program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(WaitForHandset([](const HandsetView& view) { return view.initialised; }, 5000))
        << "the base was not served";
    HWND edit = GetDlgItem(program.MainWindow(), IDC_COUNTRY_CODE);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : std::string("49"))
        SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 0);

    size_t before = SimCalls().size();
    PostMessageA(program.MainWindow(), WM_QUIT, 0, 0);
    DWORD code = program.Proc().Wait(10000);
    ASSERT_NE(code, static_cast<DWORD>(STILL_ACTIVE)) << "still running after the quit";
    EXPECT_EQ(code, 0u) << "the program did not end cleanly";
    std::vector<int> ops;
    for (int op : CalledOps(before))
        if (op == OpDetachWindow || op == OpCloseMixer || op == OpCloseDevice)
            ops.push_back(op);
    std::vector<int> expected = {OpDetachWindow, OpCloseMixer, OpCloseDevice};
    EXPECT_EQ(ops, expected) << "library calls: " << Join(CalledOps(before));
    char saved[16] = "";
    DWORD size = sizeof saved;
    RegGetValueA(HKEY_CURRENT_USER, "SOFTWARE\\Skype\\Dect", "CountryCode", RRF_RT_REG_SZ, nullptr, saved,
                 &size);
    EXPECT_STREQ(saved, "49") << "the country code was not saved";
}

} // namespace

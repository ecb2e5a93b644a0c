// DectBridge-Setup.exe and its uninstaller, run silently as the user runs them, in this Wine prefix: what
// they put in place and where, what they take away and what they leave alone (the vendor's phone library),
// how they treat running copies, and at what level what they start runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/res/Version.h"
#include "chip/PhoneLibrary.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/PeerControl.h"
#include "sim/control/SimControl.h"
#include "sim/handset/HandsetWindow.h"
#include "tests/common/Program.h"

namespace {

using test::BinDir;
using test::Program;
using test::ReadWholeFile;
using test::WaitUntil;

constexpr const char* UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\DectBridge";
constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* SipLinkRunValue = "DectBridge SIP link";
constexpr const char* SettingsKey = "SOFTWARE\\Skype\\Dect";
// The key SipLink makes so that programs find Skype installed; only its --uninstall takes it away.
constexpr const char* SkypeProbeKey = "SOFTWARE\\Skype\\Phone";
constexpr const char* SipLinkTitle = "SipLink";
constexpr const char* SipAccountKey = "SOFTWARE\\DectBridge\\SipLink";
constexpr DWORD SetupTimeoutMs = 120000;

std::string Folder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// The user's own programs folder: no administrator rights needed, nothing shared with other users.
std::string InstallDir() {
    return Folder(CSIDL_LOCAL_APPDATA) + "\\Programs\\DectBridge";
}
std::string MenuDir() {
    return Folder(CSIDL_PROGRAMS) + "\\DectBridge";
}
std::string Installed(const std::string& name) {
    return InstallDir() + "\\" + name;
}
std::string SipAccountFolder() {
    return Folder(CSIDL_APPDATA) + "\\DectBridge\\SipLink";
}
std::string TrialDir() {
    return InstallDir() + "\\Trial";
}
std::string InTrial(const std::string& name) {
    return TrialDir() + "\\" + name;
}
constexpr const char* TrialLink = "\\DectBridge (try without hardware).lnk";
std::string SetupProgram() {
    return BinDir() + "\\..\\DectBridge-Setup.exe";
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool done = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                written == bytes.size();
    CloseHandle(file);
    return done;
}

// The user puts the vendor's phone library beside the installed program; the simulated one stands in for
// it where the program must run.
bool PlaceVendorLibrary() {
    CreateDirectoryA(InstallDir().c_str(), nullptr);
    return CopyFileA((BinDir() + "\\TjIpSys.dll").c_str(), Installed("TjIpSys.dll").c_str(), FALSE) != 0;
}

// The files and folders directly in a folder (not "." and ".."), by name.
std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
            names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// The level a process runs at: TokenElevationTypeFull is a token elevated through UAC; -1 when unknown.
int ElevationType(DWORD pid) {
    int type = -1;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    HANDLE token = nullptr;
    if (process && OpenProcessToken(process, TOKEN_QUERY, &token)) {
        TOKEN_ELEVATION_TYPE elevation = TokenElevationTypeDefault;
        DWORD size = 0;
        if (GetTokenInformation(token, TokenElevationType, &elevation, sizeof elevation, &size))
            type = elevation;
        CloseHandle(token);
    }
    if (process)
        CloseHandle(process);
    return type;
}

// The manifest a program carries (resource RT_MANIFEST 1), "" when it has none.
std::string Manifest(const std::string& path) {
    std::string text;
    HMODULE image = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!image)
        return text;
    HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    HGLOBAL loaded = found ? LoadResource(image, found) : nullptr;
    if (loaded)
        text.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(image, found));
    FreeLibrary(image);
    return text;
}

// A registry text value, or nothing when the value (or its key) is missing.
std::pair<bool, std::string> ReadText(HKEY root, const char* key, const char* name) {
    char data[1024] = "";
    DWORD size = sizeof data;
    LONG result = RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, data, &size);
    return {result == ERROR_SUCCESS, result == ERROR_SUCCESS ? data : ""};
}

bool KeyExists(HKEY root, const char* key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// Starts a command line as the user does and waits until it and every process it started have ended: the
// uninstaller hands its work to a copy of itself in the temporary folder and returns at once.
// The token a user's double click gives a program that asks for no elevation: the limited one linked to
// this (elevated, under Wine) test's token. None when there is no such token.
HANDLE UserToken() {
    HANDLE own = nullptr;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own))
        return nullptr;
    if (!GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size))
        linked.LinkedToken = nullptr;
    CloseHandle(own);
    return linked.LinkedToken;
}

// Starts a command line as the user starts it (with the limited token), or elevated as this test runs.
bool StartAs(bool elevated, const std::string& commandLine, DWORD flags, PROCESS_INFORMATION& info) {
    std::string line = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (elevated)
        return CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                              &info) != 0;
    HANDLE token = UserToken();
    bool started = token && CreateProcessAsUserA(token, nullptr, &line[0], nullptr, nullptr, FALSE, flags,
                                                 nullptr, nullptr, &startup, &info);
    if (token)
        CloseHandle(token);
    return started;
}

bool RunToTheEnd(const std::string& commandLine, DWORD timeoutMs) {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT link = {job, port};
    SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &link, sizeof link);
    PROCESS_INFORMATION info = {};
    bool ended = false;
    if (StartAs(false, commandLine, CREATE_SUSPENDED, info)) {
        AssignProcessToJobObject(job, info.hProcess);
        ResumeThread(info.hThread);
        DWORD message = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* overlapped = nullptr;
        while (!ended && GetQueuedCompletionStatus(port, &message, &key, &overlapped, timeoutMs))
            ended = key == reinterpret_cast<ULONG_PTR>(job) && message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO;
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    CloseHandle(port);
    CloseHandle(job);
    return ended;
}

// Runs the setup with its switches; answers its exit code.
DWORD Install(const std::string& switches = "", bool elevated = false) {
    PROCESS_INFORMATION info = {};
    if (!StartAs(elevated, "\"" + SetupProgram() + "\" /S " + switches, 0, info))
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, SetupTimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return code;
}

bool Uninstall(const std::string& switches = "") {
    return RunToTheEnd("\"" + Installed("Uninstall.exe") + "\" /S " + switches, SetupTimeoutMs);
}

// Every running DectBridge.exe, wherever it lies.
std::vector<DWORD> RunningCopies() {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, "DectBridge.exe") == 0)
            ids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

std::string ImagePath(DWORD pid) {
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process) {
        QueryFullProcessImageNameA(process, 0, path, &size);
        CloseHandle(process);
    }
    return path;
}

// The folder from which a process loaded a module (the phone library), "" when it has none by that name.
std::string ModulePath(DWORD pid, const char* module) {
    std::string path;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    MODULEENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szModule, module) == 0)
            path = entry.szExePath;
    CloseHandle(snapshot);
    return path;
}

// A window of one process with this title ("" when it has none yet).
HWND WindowOf(DWORD pid, const char* title) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, nullptr, title)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid)
            return window;
    }
    return nullptr;
}

// Asks a copy the setup started to exit, as the setup itself does, and waits for its end. A copy still
// starting gets its exit-request window first.
bool ExitCopy(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process)
        return true;
    HWND window = nullptr;
    WaitUntil([&] { return (window = WindowOf(pid, test::ExitRequestTitle)) != nullptr; }, 10000);
    COPYDATASTRUCT data = {test::ExitRequestMarker, 0, nullptr};
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000,
                        &answer);
    bool ended = WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

// A program of ours started from `path`, once its window (by title) is up.
bool StartWithWindow(test::Process& process, const std::string& path, const std::string& arguments,
                     const char* title) {
    return process.Start(path, arguments) &&
           WaitUntil([&] { return WindowOf(process.Id(), title) != nullptr; }, 10000);
}

// The installed SIP link, running, with no agent to reach: by then it has made its key.
bool StartInstalledSipLink(test::Process& link) {
    return !KeyExists(HKEY_CURRENT_USER, SkypeProbeKey) &&
           StartWithWindow(link, Installed("SipLink.exe"), "--control 127.0.0.1:9", SipLinkTitle) &&
           KeyExists(HKEY_CURRENT_USER, SkypeProbeKey);
}

struct VersionInfo {
    VS_FIXEDFILEINFO fixed = {};
    std::vector<BYTE> block;
    std::string Text(const char* name) const {
        char* text = nullptr;
        UINT length = 0;
        std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
        if (block.empty() ||
            !VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length))
            return "";
        return std::string(text, length ? length - 1 : 0);
    }
};

VersionInfo ReadVersion(const std::string& file) {
    VersionInfo info;
    DWORD size = GetFileVersionInfoSizeA(file.c_str(), nullptr);
    info.block.resize(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (size && GetFileVersionInfoA(file.c_str(), 0, size, info.block.data()) &&
        VerQueryValueA(info.block.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
        info.fixed = *fixed;
    else
        info.block.clear();
    return info;
}

// Each installed program (named by its path in the installation's folder) names the product, its maker,
// the version it was built as and what it is (the given description, or any when none is given).
void ExpectVersion(const std::string& name, const char* description = nullptr) {
    SCOPED_TRACE(name);
    VersionInfo info = ReadVersion(Installed(name));
    ASSERT_FALSE(info.block.empty()) << "no version resource";
    EXPECT_EQ(info.fixed.dwFileVersionMS,
              static_cast<DWORD>(MAKELONG(DECTBRIDGE_VERSION_MINOR, DECTBRIDGE_VERSION_MAJOR)));
    EXPECT_EQ(HIWORD(info.fixed.dwFileVersionLS), DECTBRIDGE_VERSION_PATCH);
    EXPECT_EQ(info.Text("ProductName"), DECTBRIDGE_PRODUCT);
    EXPECT_EQ(info.Text("CompanyName"), DECTBRIDGE_COMPANY);
    EXPECT_EQ(info.Text("FileVersion"), DECTBRIDGE_VERSION_TEXT);
    EXPECT_EQ(info.Text("ProductVersion"), DECTBRIDGE_VERSION_TEXT);
    EXPECT_EQ(info.Text("OriginalFilename"), name.substr(name.find_last_of('\\') + 1));
    if (description)
        EXPECT_EQ(info.Text("FileDescription"), description);
    else
        EXPECT_NE(info.Text("FileDescription"), "");
}

std::string ShortcutTarget(const std::string& link) {
    std::string target;
    IShellLinkA* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&shellLink))))
        return target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        std::wstring wide(link.begin(), link.end());
        char path[MAX_PATH] = "";
        if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ)) &&
            SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)))
            target = path;
        file->Release();
    }
    shellLink->Release();
    return target;
}

// The library calls from call number `from` on.
std::vector<int> CalledOps(size_t from) {
    std::vector<int> ops;
    auto calls = SimCalls();
    for (size_t i = from; i < calls.size(); ++i)
        ops.push_back(calls[i].op);
    return ops;
}

// The orderly shutdown's library calls, in order, somewhere in ops.
bool ShutDownInOrder(const std::vector<int>& ops) {
    const std::vector<int> shutdown = {OpDetachWindow, OpCloseMixer, OpCloseDevice};
    return std::search(ops.begin(), ops.end(), shutdown.begin(), shutdown.end()) != ops.end();
}

// The user's settings as they were before the test, put back afterwards: the tests that follow in the
// same prefix find what they left.
class SavedSettings {
  public:
    SavedSettings() {
        HKEY key = nullptr;
        existed = RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        for (DWORD i = 0; existed; ++i) {
            char name[260];
            BYTE data[2048];
            DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
            if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
                break;
            values.push_back({name, type, std::vector<BYTE>(data, data + dataSize)});
        }
        if (key)
            RegCloseKey(key);
    }
    ~SavedSettings() {
        RegDeleteTreeA(HKEY_CURRENT_USER, SettingsKey);
        HKEY key = nullptr;
        if (existed && RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                       &key, nullptr) == ERROR_SUCCESS) {
            for (const Value& value : values)
                RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.data(),
                               static_cast<DWORD>(value.data.size()));
            RegCloseKey(key);
        }
    }

  private:
    struct Value {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    bool existed = false;
    std::vector<Value> values;
};

// Wine turns shortcuts made in the Start menu into menu entries of the desktop outside the prefix; its
// menu builder is off while the tests install.
class MenuBuilderOff {
  public:
    MenuBuilderOff() {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr);
        existed = RegQueryValueExA(key, Name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        if (!existed)
            RegSetValueExA(key, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    }
    ~MenuBuilderOff() {
        if (!existed)
            RegDeleteValueA(key, Name);
        RegCloseKey(key);
    }

  private:
    static constexpr const char* Name = "winemenubuilder.exe";
    HKEY key = nullptr;
    bool existed = false;
};

// Earlier tests leave the key the program's Skype probe looks for (the Skype peer makes it); the SIP link
// tests need it absent to see SipLink make and remove its own. It is put back as it was.
class ProbeKeyAside {
  public:
    ProbeKeyAside() : existed(KeyExists(HKEY_CURRENT_USER, SkypeProbeKey)) {
        if (existed)
            RegDeleteTreeA(HKEY_CURRENT_USER, SkypeProbeKey);
    }
    ~ProbeKeyAside() {
        HKEY key = nullptr;
        if (existed && RegCreateKeyExA(HKEY_CURRENT_USER, SkypeProbeKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                       &key, nullptr) == ERROR_SUCCESS)
            RegCloseKey(key);
    }
    ProbeKeyAside(const ProbeKeyAside&) = delete;
    ProbeKeyAside& operator=(const ProbeKeyAside&) = delete;

  private:
    bool existed;
};

class Installer : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitialize(nullptr);
        SimReset();
        // No base: the program's own frame only, no device start-up to wait for.
        WithSim([](SimState& state) { state.config.plugged = 0; });
        ASSERT_TRUE(Exists(SetupProgram())) << SetupProgram();
        ASSERT_TRUE(RunningCopies().empty()) << "a DectBridge.exe is already running";
        ASSERT_FALSE(Exists(InstallDir())) << "an earlier installation is still there";
    }
    void TearDown() override {
        for (DWORD pid : RunningCopies())
            EXPECT_TRUE(ExitCopy(pid)) << "a copy did not exit";
        // A test that failed half-way leaves no installation behind for the next one, nor the library the
        // user placed.
        if (Exists(Installed("Uninstall.exe")))
            Uninstall();
        DeleteFileA(Installed("TjIpSys.dll").c_str());
        RemoveDirectoryA(InstallDir().c_str());
        // Nor a key a SIP link made and a failed test did not see removed.
        test::Process link;
        if (KeyExists(HKEY_CURRENT_USER, SkypeProbeKey) &&
            link.Start(BinDir() + "\\SipLink.exe", "--uninstall"))
            link.Wait(10000);
        CoUninitialize();
    }
    SavedSettings savedSettings;
    MenuBuilderOff menuBuilderOff;
    ProbeKeyAside probeKeyAside;
};

TEST_F(Installer, SilentInstallPutsEverythingInPlaceAndTheProgramRunsFromThere) {
    // A per-user setup: it asks for no elevation, so it runs as, and writes for, whoever started it.
    std::string manifest = Manifest(SetupProgram());
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos) << manifest;

    ASSERT_EQ(Install(), 0u);

    EXPECT_EQ(ReadWholeFile(Installed("DectBridge.exe")), ReadWholeFile(BinDir() + "\\DectBridge.exe"));
    EXPECT_TRUE(Exists(Installed("Uninstall.exe")));
    // The program loads its library from its own folder: a real installation puts no simulation there.
    EXPECT_FALSE(Exists(Installed("TjIpSys.dll"))) << "the simulated library lies where the vendor's goes";
    EXPECT_FALSE(Exists(TrialDir())) << "the simulation is an option, off unless chosen";
    EXPECT_EQ(ShortcutTarget(MenuDir() + "\\DectBridge.lnk"), Installed("DectBridge.exe"));

    // The user's hive holds the installation's entry; the machine's holds nothing of it.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, UninstallKey, "DisplayName").second, DECTBRIDGE_PRODUCT);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, UninstallKey, "DisplayVersion").second, DECTBRIDGE_VERSION_TEXT);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, UninstallKey, "Publisher").second, DECTBRIDGE_COMPANY);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, UninstallKey, "InstallLocation").second, InstallDir());
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, UninstallKey, "UninstallString").second,
              "\"" + Installed("Uninstall.exe") + "\"");
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, UninstallKey, "QuietUninstallString").second,
              "\"" + Installed("Uninstall.exe") + "\" /S");
    // The size in KiB of what lies in the folder.
    DWORD bytes = 0;
    for (const char* name : {"DectBridge.exe", "Uninstall.exe"})
        bytes += static_cast<DWORD>(ReadWholeFile(Installed(name)).size());
    DWORD size = 0, sizeSize = sizeof size;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, UninstallKey, "EstimatedSize", RRF_RT_REG_DWORD, nullptr, &size,
                           &sizeSize),
              ERROR_SUCCESS);
    EXPECT_GE(size, bytes / 1024);
    EXPECT_LE(size, bytes / 1024 + 2);
    // Start with Windows is on unless declined.
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, RunKey, "DectBridge").second,
              "\"" + Installed("DectBridge.exe") + "\"");

    ExpectVersion("DectBridge.exe", DECTBRIDGE_DESCRIPTION);

    // Without the vendor's library the program says what is missing and where it must go.
    {
        Program program;
        ASSERT_TRUE(program.Launch(Installed("DectBridge.exe")));
        std::string text;
        EXPECT_TRUE(test::AnswerMessageBox(program.Proc().Id(), IDOK, 10000, &text));
        EXPECT_NE(text.find("Can't load tjipsys.dll"), std::string::npos) << text;
        EXPECT_NE(text.find("folder:\n" + InstallDir() + "\n"), std::string::npos) << text;
        EXPECT_NE(program.Proc().Wait(10000), static_cast<DWORD>(STILL_ACTIVE));
    }

    // With the library the user placed beside it, the program runs from there and loads that one.
    ASSERT_TRUE(PlaceVendorLibrary());
    Program program;
    ASSERT_TRUE(program.Start(Installed("DectBridge.exe"))) << "no main window from the installed program";
    EXPECT_TRUE(IsWindowVisible(program.MainWindow()));
    EXPECT_EQ(ImagePath(program.Proc().Id()), Installed("DectBridge.exe"));
    EXPECT_EQ(ModulePath(program.Proc().Id(), "TjIpSys.dll"), Installed("TjIpSys.dll"));
    auto calls = SimCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().op, OpAttachWindow) << "the installed library did not receive the main window";
    EXPECT_TRUE(program.Exit());
}

// The vendor's TjIpSys.dll that the user put in the program's folder is the user's: no installation,
// upgrade or removal replaces or takes it.
TEST_F(Installer, TheUsersPhoneLibraryIsLeftAsItWasThroughInstallUpgradeAndUninstall) {
    const std::string vendor = "the vendor's phone library, as the user placed it";
    // In a prefix where nothing was installed yet, the folder of the user's programs is missing too.
    CreateDirectoryA((Folder(CSIDL_LOCAL_APPDATA) + "\\Programs").c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryA(InstallDir().c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(Installed("TjIpSys.dll"), vendor));

    ASSERT_EQ(Install("/SIMULATION=1 /SIPLINK=1"), 0u);
    EXPECT_EQ(ReadWholeFile(Installed("TjIpSys.dll")), vendor) << "after the installation";
    // The simulated library lies only in the trial's folder.
    EXPECT_EQ(ReadWholeFile(InTrial("TjIpSys.dll")), ReadWholeFile(BinDir() + "\\TjIpSys.dll"));

    ASSERT_EQ(Install("/SIMULATION=0"), 0u);
    EXPECT_EQ(ReadWholeFile(Installed("TjIpSys.dll")), vendor) << "after an upgrade";
    EXPECT_FALSE(Exists(TrialDir())) << "the trial's folder outlived its option";

    ASSERT_TRUE(Uninstall());
    EXPECT_EQ(ReadWholeFile(Installed("TjIpSys.dll")), vendor) << "after the removal";
    EXPECT_EQ(FolderEntries(InstallDir()), std::vector<std::string>{"TjIpSys.dll"})
        << "the removal left more than the user's own file";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKey));
}

// Trying without hardware: the trial's entry starts its own copy of the program, which loads the simulated
// library beside it; a call from the trial's Skype peer rings the trial's handset window.
TEST_F(Installer, TheTrialEntryRunsTheProgramAgainstTheSimulationAndACallRingsTheHandsetWindow) {
    WithSim([](SimState& state) { state.config.plugged = 1; });
    ASSERT_EQ(Install("/SIMULATION=1"), 0u);
    for (const char* name : {"DectBridge.exe", "TjIpSys.dll", "SkypePeer.exe", "Handset.exe"})
        EXPECT_EQ(ReadWholeFile(InTrial(name)), ReadWholeFile(BinDir() + "\\" + name)) << name;
    ExpectVersion("Trial\\TjIpSys.dll", "Phone library (simulated DECT base)");
    std::string trialProgram = ShortcutTarget(MenuDir() + TrialLink);
    ASSERT_EQ(trialProgram, InTrial("DectBridge.exe"));
    EXPECT_EQ(ShortcutTarget(MenuDir() + "\\Skype Peer (simulated).lnk"), InTrial("SkypePeer.exe"));
    EXPECT_EQ(ShortcutTarget(MenuDir() + "\\Handset (simulated).lnk"), InTrial("Handset.exe"));

    HKEY skypeKey = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SkypeProbeKey, 0, nullptr, 0, KEY_WRITE, nullptr, &skypeKey,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(skypeKey);
    test::Process peer, handset;
    ASSERT_TRUE(StartWithWindow(peer, InTrial("SkypePeer.exe"), "/window /noregistry", "Skype Peer Control"));
    ASSERT_TRUE(StartWithWindow(handset, InTrial("Handset.exe"), "", HandsetWindowTitle));
    {
        Program program;
        ASSERT_TRUE(program.Start(trialProgram));
        EXPECT_EQ(ModulePath(program.Proc().Id(), "TjIpSys.dll"), InTrial("TjIpSys.dll"));
        ASSERT_TRUE(WaitForHandset([](const HandsetView& view) { return view.skypeLight; }, 20000))
            << "the trial's program did not attach to the trial's Skype peer";
        ASSERT_TRUE(PeerControl("ring 5 bob"));
        HWND window = WindowOf(handset.Id(), HandsetWindowTitle);
        auto shows = [window](int id, const std::string& text) {
            return test::WaitUntil(
                [&] {
                    char seen[64] = "";
                    GetDlgItemTextA(window, id, seen, sizeof seen);
                    return text == seen;
                },
                10000);
        };
        EXPECT_TRUE(shows(IDC_HANDSET_STATUS, "RINGING")) << "the handset window does not ring";
        EXPECT_TRUE(shows(IDC_HANDSET_LINE, "bob         ")) << "the handset window does not name the caller";
        EXPECT_TRUE(program.Exit());
    }
    PeerControl("quit");
    EXPECT_EQ(peer.Wait(10000), 0u);
    PostMessageA(WindowOf(handset.Id(), HandsetWindowTitle), WM_CLOSE, 0, 0);
    EXPECT_EQ(handset.Wait(10000), 0u);
    RegDeleteTreeA(HKEY_CURRENT_USER, SkypeProbeKey);
}

TEST_F(Installer, OptionsFollowTheSwitchesAndAReinstallKeepsThem) {
    ASSERT_EQ(Install("/AUTOSTART=0 /SIMULATION=1 /SIPLINK=1"), 0u);
    EXPECT_FALSE(ReadText(HKEY_CURRENT_USER, RunKey, "DectBridge").first)
        << "start with Windows was declined";
    EXPECT_FALSE(ReadText(HKEY_CURRENT_USER, RunKey, SipLinkRunValue).first)
        << "the SIP link starts with Windows though the program does not";
    EXPECT_EQ(ReadWholeFile(InTrial("SkypePeer.exe")), ReadWholeFile(BinDir() + "\\SkypePeer.exe"));
    ExpectVersion("Trial\\SkypePeer.exe", "Skype API peer (simulated Skype)");
    EXPECT_EQ(ReadWholeFile(InTrial("Handset.exe")), ReadWholeFile(BinDir() + "\\Handset.exe"));
    ExpectVersion("Trial\\Handset.exe", "Simulated DECT handset");
    EXPECT_TRUE(ReadWholeFile(Installed("SipLink.exe")) == ReadWholeFile(BinDir() + "\\SipLink.exe"))
        << "SipLink.exe was not replaced";
    EXPECT_EQ(ShortcutTarget(MenuDir() + "\\SIP Link.lnk"), Installed("SipLink.exe"));
    EXPECT_EQ(ShortcutTarget(MenuDir() + "\\SIP account.lnk"), Installed("SipLink.exe"));
    ExpectVersion("SipLink.exe", "SIP link for DectBridge");
    // Every program shipped, whichever optional ones this build has, carries its version resource.
    for (const char* folder : {"", "Trial\\"})
        for (const char* pattern : {"*.exe", "*.dll"})
            for (const std::string& path : test::FindFiles(Installed(std::string(folder) + pattern))) {
                std::string name = folder + path.substr(path.find_last_of('\\') + 1);
                if (name != "Uninstall.exe")
                    ExpectVersion(name);
            }

    // Without switches an installation over this one keeps its choices.
    ASSERT_EQ(Install(), 0u);
    EXPECT_FALSE(ReadText(HKEY_CURRENT_USER, RunKey, "DectBridge").first);
    EXPECT_TRUE(Exists(InTrial("SkypePeer.exe")));
    EXPECT_TRUE(Exists(Installed("SipLink.exe")));

    // The SIP link starts with the user's session along with the program.
    ASSERT_EQ(Install("/AUTOSTART=1"), 0u);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, RunKey, SipLinkRunValue).second,
              "\"" + Installed("SipLink.exe") + "\"");

    // Options changed on a later installation: what was dropped goes, what was added comes. The SIP link
    // that runs is closed, and takes away the key it made.
    test::Process link;
    ASSERT_TRUE(StartInstalledSipLink(link));
    ASSERT_EQ(Install("/AUTOSTART=1 /SIMULATION=0 /SIPLINK=0"), 0u);
    EXPECT_EQ(link.Wait(0), 0u) << "the SIP link was not closed";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, SkypeProbeKey)) << "the SIP link's key is left";
    EXPECT_TRUE(ReadText(HKEY_CURRENT_USER, RunKey, "DectBridge").first);
    EXPECT_FALSE(Exists(TrialDir()));
    EXPECT_FALSE(Exists(MenuDir() + TrialLink));
    EXPECT_FALSE(Exists(MenuDir() + "\\Skype Peer (simulated).lnk"));
    EXPECT_FALSE(Exists(MenuDir() + "\\Handset (simulated).lnk"));
    EXPECT_FALSE(Exists(Installed("SipLink.exe")));
    EXPECT_FALSE(Exists(MenuDir() + "\\SIP Link.lnk"));
    EXPECT_FALSE(ReadText(HKEY_CURRENT_USER, RunKey, SipLinkRunValue).first)
        << "the SIP link's start entry stayed";
    EXPECT_FALSE(Exists(MenuDir() + "\\SIP account.lnk"));
    EXPECT_TRUE(Exists(MenuDir() + "\\DectBridge.lnk"));
}

// An upgrade closes what runs from the installation and starts it again from the new files: the program,
// and the SIP link with the arguments of its start entry. What it starts runs at the user's level, not
// elevated, so that the two can reach each other's windows.
TEST_F(Installer, InstallingOverRunningCopiesEndsThemInOrderAndRunsTheNewFilesAsTheUser) {
    ASSERT_EQ(Install("/SIPLINK=1"), 0u);
    ASSERT_TRUE(PlaceVendorLibrary());
    // Older builds in their place: the same programs with another link time stamp.
    for (const char* program : {"DectBridge.exe", "SipLink.exe"}) {
        std::string image = ReadWholeFile(Installed(program));
        ASSERT_GT(image.size(), 0x100u);
        size_t stamp = *reinterpret_cast<const DWORD*>(&image[0x3C]) + 8;
        image[stamp] = static_cast<char>(image[stamp] ^ 0x5A);
        ASSERT_TRUE(WriteWholeFile(Installed(program), image));
        ASSERT_NE(ReadWholeFile(Installed(program)), ReadWholeFile(BinDir() + "\\" + program));
    }
    // The user gave the SIP link's start entry an agent of their own (nothing listens there).
    const std::string linkCommand = "\"" + Installed("SipLink.exe") + "\" --control 127.0.0.1:9";
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, RunKey, 0, KEY_SET_VALUE, &run), ERROR_SUCCESS);
    RegSetValueExA(run, SipLinkRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(linkCommand.c_str()),
                   static_cast<DWORD>(linkCommand.size() + 1));
    RegCloseKey(run);

    Program old;
    ASSERT_TRUE(old.Start(Installed("DectBridge.exe")));
    test::Process oldLink, accountWindow;
    ASSERT_TRUE(StartInstalledSipLink(oldLink));
    // Its account window is SipLink.exe too, under another title.
    ASSERT_TRUE(StartWithWindow(accountWindow, Installed("SipLink.exe"), "--settings", "SIP account"));
    size_t before = SimCalls().size();

    ASSERT_EQ(Install(), 0u);
    EXPECT_EQ(old.Proc().Wait(0), 0u) << "the running copy did not end of itself";
    EXPECT_TRUE(ShutDownInOrder(CalledOps(before))) << "the running copy was not asked to exit";
    EXPECT_EQ(oldLink.Wait(0), 0u) << "the SIP link was not closed";
    EXPECT_EQ(accountWindow.Wait(0), 0u) << "the SIP account window was not closed";
    EXPECT_TRUE(ReadWholeFile(Installed("SipLink.exe")) == ReadWholeFile(BinDir() + "\\SipLink.exe"))
        << "SipLink.exe was not replaced";
    EXPECT_EQ(ReadWholeFile(Installed("DectBridge.exe")), ReadWholeFile(BinDir() + "\\DectBridge.exe"));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, RunKey, SipLinkRunValue).second, linkCommand)
        << "the user's arguments of the SIP link's start entry were not kept";

    // One copy, through its start-up: its window shown, its exit request taken.
    std::vector<DWORD> copies;
    ASSERT_TRUE(WaitUntil(
        [&] {
            copies = RunningCopies();
            HWND main = copies.size() == 1 ? WindowOf(copies.front(), test::MainWindowTitle) : nullptr;
            return main && IsWindowVisible(main) && WindowOf(copies.front(), test::ExitRequestTitle);
        },
        10000))
        << copies.size() << " copies running";
    EXPECT_NE(copies.front(), old.Proc().Id());
    EXPECT_EQ(ImagePath(copies.front()), Installed("DectBridge.exe"));
    EXPECT_NE(ElevationType(copies.front()), TokenElevationTypeFull)
        << "the setup started the program elevated";

    // The SIP link runs again from the installation.
    HWND linkWindow = nullptr;
    DWORD linkId = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
            linkWindow = FindWindowA(nullptr, SipLinkTitle);
            linkId = 0;
            if (linkWindow)
                GetWindowThreadProcessId(linkWindow, &linkId);
            return linkId && linkId != oldLink.Id() && ImagePath(linkId) == Installed("SipLink.exe");
        },
        10000))
        << "the upgrade did not start the SIP link it closed";
    if (linkId) {
        EXPECT_NE(ElevationType(linkId), TokenElevationTypeFull) << "the setup started the SIP link elevated";
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, linkId);
        PostMessageA(linkWindow, WM_CLOSE, 0, 0);
        EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0)
            << "the SIP link did not end on WM_CLOSE";
        CloseHandle(process);
    }
}

TEST_F(Installer, SilentUninstallStopsTheProgramAndLeavesOnlyTheSettings) {
    ASSERT_EQ(Install("/AUTOSTART=1 /SIMULATION=1 /SIPLINK=1"), 0u);
    // The SIP account as SipLink keeps it: its key, and its agent's folder in the profile.
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, SipAccountKey, "Address", REG_SZ, "alice@example.com", 18),
              ERROR_SUCCESS);
    CreateDirectoryA((Folder(CSIDL_APPDATA) + "\\DectBridge").c_str(), nullptr);
    CreateDirectoryA(SipAccountFolder().c_str(), nullptr);
    ASSERT_TRUE(WriteWholeFile(SipAccountFolder() + "\\contacts", "\"Bob\" <sip:bob@example.com>\n"));
    {
        // The trial's copy of the program runs (the installed one has no library to run with).
        Program program;
        ASSERT_TRUE(program.Start(InTrial("DectBridge.exe")));
        SetWindowTextA(GetDlgItem(program.MainWindow(), 1059), "49");
        // The installed Skype peer runs too, and is closed the way its windows allow.
        test::Process peer;
        ASSERT_TRUE(peer.Start(InTrial("SkypePeer.exe"), "/noregistry"));
        ASSERT_NE(test::WaitForWindow("Skype Peer Control", 10000), nullptr);
        // So do the installed handset and SIP link; a handset run from elsewhere is not the uninstaller's.
        test::Process handset, link, otherHandset;
        ASSERT_TRUE(StartWithWindow(handset, InTrial("Handset.exe"), "", HandsetWindowTitle));
        ASSERT_TRUE(StartWithWindow(otherHandset, BinDir() + "\\Handset.exe", "", HandsetWindowTitle));
        ASSERT_TRUE(StartInstalledSipLink(link));
        size_t before = SimCalls().size();

        ASSERT_TRUE(Uninstall()) << "the uninstaller did not end";
        EXPECT_EQ(program.Proc().Wait(0), 0u) << "the program is still running";
        EXPECT_TRUE(ShutDownInOrder(CalledOps(before))) << "the program was not asked to exit";
        EXPECT_EQ(peer.Wait(0), 0u) << "the Skype peer is still running";
        EXPECT_EQ(handset.Wait(0), 0u) << "the handset is still running";
        EXPECT_EQ(link.Wait(0), 0u) << "the SIP link is still running";
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, SkypeProbeKey)) << "the SIP link's key is left";
        EXPECT_EQ(otherHandset.Wait(0), static_cast<DWORD>(STILL_ACTIVE))
            << "a handset not installed was closed";
        PostMessageA(WindowOf(otherHandset.Id(), HandsetWindowTitle), WM_CLOSE, 0, 0);
        EXPECT_EQ(otherHandset.Wait(10000), 0u);
    }
    EXPECT_FALSE(Exists(InstallDir()));
    EXPECT_FALSE(Exists(MenuDir()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKey));
    EXPECT_FALSE(ReadText(HKEY_CURRENT_USER, RunKey, "DectBridge").first);
    EXPECT_FALSE(ReadText(HKEY_CURRENT_USER, RunKey, SipLinkRunValue).first);
    // The program saved the country code as it exited; the settings stay for a later installation.
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, SettingsKey, "CountryCode").second, "49");

    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, SipAccountKey)) << "the SIP account went without being asked to";
    EXPECT_TRUE(Exists(SipAccountFolder() + "\\contacts"));

    ASSERT_EQ(Install("/SIMULATION=1"), 0u);
    {
        Program program;
        ASSERT_TRUE(program.Start(InTrial("DectBridge.exe")));
        ASSERT_TRUE(Uninstall("/REMOVESETTINGS"));
        EXPECT_EQ(program.Proc().Wait(0), 0u);
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, SettingsKey)) << "the settings were asked to go";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\DectBridge")) << "the SIP account was asked to go";
    EXPECT_FALSE(Exists(Folder(CSIDL_APPDATA) + "\\DectBridge")) << "the SIP account's folder was asked to go";
    EXPECT_FALSE(Exists(InstallDir()));
}

TEST_F(Installer, ACopyThatDoesNotExitIsLeftRunningAndTheSetupChangesNothing) {
    // A copy that takes the request but never ends: a plain window of this test under the program's title.
    HWND stubborn = CreateWindowA("STATIC", test::ExitRequestTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(stubborn, nullptr);

    EXPECT_EQ(Install(), 2u) << "the silent setup did not give up";
    EXPECT_FALSE(Exists(InstallDir()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKey));
    EXPECT_FALSE(ReadText(HKEY_CURRENT_USER, RunKey, "DectBridge").first);
    EXPECT_TRUE(IsWindow(stubborn));
    DestroyWindow(stubborn);
}

// Run elevated ("Run as administrator", or an administrator's credentials typed in), the setup would
// write another profile's keys and start our programs where the user's cannot reach them: it refuses.
TEST_F(Installer, AnElevatedSetupRefusesAndChangesNothing) {
    ASSERT_EQ(ElevationType(GetCurrentProcessId()), TokenElevationTypeFull)
        << "this test does not run elevated";
    EXPECT_EQ(Install("", true), 3u) << "the elevated setup did not refuse";
    EXPECT_FALSE(Exists(InstallDir()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKey));
    EXPECT_FALSE(ReadText(HKEY_CURRENT_USER, RunKey, "DectBridge").first);
}

} // namespace

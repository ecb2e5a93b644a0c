#include "tests/handset/Desk.h"

#include "app/res/resource.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "sim/handset/HandsetWindow.h"
#include "sim/skype/PeerWindow.h"
#include "tests/common/ShellTray.h"

namespace desk {

void Desk::SetUp() {
    SimReset();
    skype_test::SetSkypeKey(true);
    // The far end of an outgoing call answers only when the peer window's button says so.
    ASSERT_TRUE(peer.Start("/window /answer never"));
    peerWindow = test::WaitForWindow(peer::PeerWindowTitle, Wait);
    ASSERT_NE(peerWindow, nullptr) << "no peer window";
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(StartHandset());
    // Start-up wakes the base and attaches to Skype: it takes a few seconds on a busy machine.
    bool lit = WaitForLight(IDC_HANDSET_SKYPE_LIGHT, true, 3 * Wait);
    if (!lit)
        tray_test::SaveScreenshot(GetDesktopWindow(), "handset-not-attached.bmp");
    ASSERT_TRUE(lit) << "the handset window shows no Skype light; the base's is "
                     << (ReadHandset().skypeLight ? "on" : "off")
                     << "; the screen is in handset-not-attached.bmp";
}

void Desk::TearDown() {
    if (handsetProcess.Running()) {
        EXPECT_EQ(CloseHandset(), 0u);
    }
    if (program.Proc().Running()) {
        EXPECT_TRUE(program.Exit()) << "the program did not exit on request";
    }
    peer.Quit();
}

void Desk::Click(HWND window, int id) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(GetDlgItem(window, id), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, Wait, &ignored);
}

void Desk::CallIn(const std::string& handle) {
    ChooseContact(handle);
    Click(peerWindow, peer::IDC_PEER_CALL_IN);
    ASSERT_TRUE(WaitForHandsetText(IDC_HANDSET_STATUS, "RINGING")) << HandsetText(IDC_HANDSET_STATUS);
    ASSERT_TRUE(WaitForHandsetText(IDC_HANDSET_LINE, handle + std::string(12 - handle.size(), ' ')))
        << "[" << HandsetText(IDC_HANDSET_LINE) << "]";
}

void Desk::Type(const std::string& keys) {
    for (char key : keys)
        PostMessageA(handset, WM_CHAR, static_cast<unsigned char>(key), 1);
}

bool Desk::Shows(const std::string& text) {
    return WaitForHandsetText(IDC_HANDSET_LINE, text + std::string(12 - text.size(), ' '));
}

bool Desk::StartHandset() {
    if (!handsetProcess.Start(test::BinDir() + "\\Handset.exe"))
        return false;
    handset = test::WaitForWindow(HandsetWindowTitle, Wait);
    // Its lights are read from the screen: nothing may cover it.
    SetWindowPos(handset, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return handset != nullptr;
}

DWORD Desk::CloseHandset() {
    PostMessageA(handset, WM_CLOSE, 0, 0);
    return handsetProcess.Wait(Wait);
}

std::string Desk::HandsetText(int id) const {
    char text[64] = "";
    GetDlgItemTextA(handset, id, text, sizeof text);
    return text;
}

bool Desk::WaitForHandsetText(int id, const std::string& text, DWORD timeoutMs) const {
    return test::WaitUntil([&] { return HandsetText(id) == text; }, timeoutMs);
}

DWORD Desk::HandsetColour(int id, int x, int y) const {
    RECT part;
    GetWindowRect(GetDlgItem(handset, id), &part);
    RECT point = {part.left + x, part.top + y, part.left + x + 1, part.top + y + 1};
    tray_test::Pixels pixels = tray_test::CaptureScreen(point);
    return pixels.rgb.empty() ? 0xFFFFFFFF : pixels.At(0, 0);
}

bool Desk::WaitForLight(int id, bool on, DWORD timeoutMs) const {
    RECT part;
    GetWindowRect(GetDlgItem(handset, id), &part);
    int middle = (part.right - part.left) / 2;
    DWORD lit = id == IDC_HANDSET_SKYPE_LIGHT ? SkypeLightOnRgb : CallLightOnRgb;
    return test::WaitUntil([&] { return HandsetColour(id, middle, 11) == (on ? lit : LightOffRgb); },
                           timeoutMs);
}

std::vector<std::string> Desk::PeerList(int id) const {
    HWND list = GetDlgItem(peerWindow, id);
    std::vector<std::string> lines;
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        // Wine hands a list box's line to another process in wide characters only.
        wchar_t wide[512] = L"";
        char line[512] = "";
        if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 512)
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide));
        WideCharToMultiByte(CP_ACP, 0, wide, -1, line, sizeof line, nullptr, nullptr);
        lines.push_back(line);
    }
    return lines;
}

bool Desk::WaitForListedCommand(const std::string& command, DWORD timeoutMs) const {
    return test::WaitUntil(
        [&] {
            for (const std::string& line : PeerList(peer::IDC_PEER_COMMANDS))
                if (line.substr(line.find('\t') + 1) == command)
                    return true;
            return false;
        },
        timeoutMs);
}

void Desk::ChooseContact(const std::string& handle) const {
    std::vector<std::string> contacts = PeerList(peer::IDC_PEER_CONTACTS);
    for (size_t i = 0; i < contacts.size(); ++i)
        if (contacts[i].substr(0, contacts[i].find('\t')) == handle)
            SendMessageA(GetDlgItem(peerWindow, peer::IDC_PEER_CONTACTS), LB_SETCURSEL, i, 0);
}

std::string Desk::DeviceText() const {
    char text[256] = "";
    GetDlgItemTextA(program.MainWindow(), IDC_DEVICE_INFO, text, sizeof text);
    return text;
}

bool Desk::SaveHandsetPicture(const std::string& name) const {
    // The window repaints on its own poll: the picture waits until its display is drawn.
    bool drawn = test::WaitUntil(
        [&] {
            DWORD backlight = HandsetColour(IDC_HANDSET_LINE, 2, 2);
            return backlight == BacklightRgb || backlight == BacklightLitRgb;
        },
        Wait);
    return drawn && tray_test::SaveScreenshot(handset, name);
}

} // namespace desk

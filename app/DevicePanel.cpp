// The device and settings panel: what base is attached, the phone chip's levels and mute switches, and the
// three settings kept in the registry.
#include <cstdlib>

#include "app/MainDialog.h"
#include "app/Settings.h"
#include "app/res/resource.h"
#include "chip/PhoneLibrary.h"
#include "dect/DectBase.h"
#include "support/Registry.h"

namespace {

constexpr const char* SettingsPath = "SOFTWARE\\Skype\\Dect";

// The library's levels run 0..65535; a track bar shows half of that.
constexpr int LevelBarMax = 32767;
constexpr int LevelBarPage = 8191;
constexpr int LevelBarTicks = 2047;

// The serial number buffer the library fills; one byte more keeps its text terminated when it fills all 32.
constexpr size_t SerialSize = 32;

constexpr int AudioControls[] = {IDC_SPEAKER_LEVEL, IDC_SPEAKER_MUTE, IDC_SPEAKER_LABEL,
                                 IDC_MIC_MUTE,      IDC_MIC_LEVEL,    IDC_MIC_LABEL};

// A setting read as a number: text in C notation ("0x1F", "017", "12"; anything else 0), a DWORD as it is,
// any other type 0.
DWORD SettingNumber(RegistryValue& value) {
    switch (value.Type()) {
    case REG_SZ:
    case REG_BINARY:
        return std::strtoul(value.Text(), nullptr, 0);
    case REG_DWORD:
        return value.Number();
    default:
        return 0;
    }
}

void ShowLevel(const fw::Slider& bar, DWORD level) {
    bar.SetRange(0, LevelBarMax, true);
    bar.SetPageSize(LevelBarPage);
    bar.SetTickFrequency(LevelBarTicks);
    bar.SetPosition(static_cast<int>(level / 2), true);
}

HICON LoadIconResource(int id) {
    return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
}

// The icon is set only when it changes, so that a repeated state does not redraw it.
void ShowIcon(const fw::IconStatic& control, int id) {
    HICON icon = LoadIconResource(id);
    if (reinterpret_cast<HICON>(SendMessageA(control.Handle(), STM_GETICON, 0, 0)) != icon)
        control.SetIcon(icon);
}

std::string ControlText(HWND control) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(control, &text[0], static_cast<int>(text.size()))));
    return text;
}

// Enter in the country code edit would reach the dialog as the Exit button's command: the edit asks for
// the key and keeps it.
LRESULT CALLBACK CountryCodeEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(edit, GWLP_USERDATA));
    const auto* keyMessage = reinterpret_cast<const MSG*>(lParam);
    if (message == WM_GETDLGCODE && keyMessage && keyMessage->wParam == VK_RETURN &&
        (keyMessage->message == WM_KEYDOWN || keyMessage->message == WM_CHAR))
        return CallWindowProcA(previous, edit, message, wParam, lParam) | DLGC_WANTMESSAGE;
    if ((message == WM_KEYDOWN || message == WM_CHAR) && wParam == VK_RETURN)
        return 0;
    return CallWindowProcA(previous, edit, message, wParam, lParam);
}

} // namespace

void MainDialog::KeepEnterInCountryCode() {
    HWND edit = countryCodeEdit.Handle();
    LONG_PTR previous =
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountryCodeEditProc));
    SetWindowLongPtrA(edit, GWLP_USERDATA, previous);
}

// Members go to their controls only when they differ: rewriting an edit while the user types puts the
// caret back at its start.
void MainDialog::DoDataExchange(fw::DataExchange& dx) {
    auto text = [&](int id, std::string& member) {
        if (dx.ToMembers() || ControlText(Control(id)) != member)
            dx.Text(id, member);
    };
    auto check = [&](int id, int& member) {
        if (dx.ToMembers() || (IsDlgButtonChecked(Handle(), id) == BST_CHECKED) != (member != 0))
            dx.Check(id, member);
    };
    text(IDC_DEVICE_INFO, deviceInfoText);
    text(IDC_SERIAL_VALUE, serialText);
    check(IDC_SPEAKER_MUTE, speakerMuted);
    check(IDC_MIC_MUTE, micMuted);
    text(IDC_SKYPE_STATUS, skypeStatusText);
    text(IDC_COUNTRY_CODE, countryCode);
}

void MainDialog::ShowSkypeLink(bool attached) {
    skypeConnected = attached;
    session.SetSkypeIndicator(attached);
    skypeStatusText = attached ? "Connect" : "Disconnect";
    ShowIcon(skypeIcon, attached ? IDI_STATE_ON : IDI_STATE_OFF);
    UpdateTrayIcon(DeviceTrayState());
    UpdateData(false);
}

std::string MainDialog::CountryCode() const {
    return countryCode;
}

// The box itself is the setting's live value.
bool MainDialog::OnlineOnly() const {
    return onlineOnlyBox.Checked();
}

void MainDialog::RefreshDevicePanel(UINT textId, DWORD newProductId, bool mixerOpen) {
    ShowDevice(textId, newProductId, mixerOpen);
    LoadPanelSettings();
}

void MainDialog::ShowDevice(UINT textId, DWORD newProductId, bool mixerOpen) {
    if (textId != 0) {
        char text[256] = "";
        LoadStringA(GetModuleHandleA(nullptr), textId, text, sizeof text);
        deviceInfoText = text;
    }
    char serial[SerialSize + 1] = {};
    if (newProductId != 0)
        GetSerialNumber(serial);
    ShowIcon(deviceIcon, newProductId == DectBaseProductId ? IDI_STATE_ON : IDI_STATE_OFF);
    bool serialKnown = serial[0] != '\0';
    serialLabel.Show(serialKnown);
    serialValue.Show(serialKnown);
    serialLabel.Repaint();
    serialValue.Repaint();
    serialText = serial;

    if (mixerOpen) {
        DWORD level = 0x7FFF;
        GetSpeakerVolume(&level);
        GetSpeakerMute(&speakerMuted);
        ShowLevel(speakerSlider, level);
        GetMicVolume(&level);
        GetMicMute(&micMuted);
        ShowLevel(micSlider, level);
    }
    for (int id : AudioControls)
        EnableWindow(Control(id), mixerOpen ? TRUE : FALSE);
    UpdateData(false);
}

bool OpenSettings(RegistryKey& key) {
    return key.Open(SettingsPath, HKEY_CURRENT_USER, KEY_QUERY_VALUE | KEY_SET_VALUE);
}

void MainDialog::LoadPanelSettings() {
    onlineOnlyBox.SetChecked(false);
    RegistryKey settings(CreateKey);
    if (OpenSettings(settings)) {
        RegistryValue& onlineOnly = settings.Value("ShowOnlineOnly");
        if (!onlineOnly.HasValue())
            onlineOnly.SetText("0");
        else if (SettingNumber(onlineOnly) != 0)
            onlineOnlyBox.SetChecked(true);
        // The edit is the country code's live value, saved as the user changes it: a refresh (a mixer
        // notice comes with every volume change anywhere) must not put an older text back over it.
        RegistryValue& country = settings.Value("CountryCode");
        if (!country.HasValue())
            country.SetText(countryCode.c_str());
        RegistryValue& screenSize = settings.Value("ScreenSize");
        if (!screenSize.HasValue())
            screenSize.SetText("12");
    }
    settings.Close();
    UpdateData(false);
}

void MainDialog::LoadCountryCode() {
    RegistryKey settings(CreateKey);
    // The edit's change notice copies the text into countryCode.
    if (OpenSettings(settings) && settings.Value("CountryCode").HasValue())
        countryCodeEdit.SetText(settings.Value("CountryCode").Text());
    settings.Close();
}

void MainDialog::SaveCountryCode() {
    RegistryKey settings(CreateKey);
    if (OpenSettings(settings))
        settings.Value("CountryCode").SetText(countryCode.c_str());
    settings.Close();
}

LRESULT MainDialog::OnPaint(WPARAM wParam, LPARAM lParam) {
    if (!IsIconic(Handle()))
        return PlatformWindowProc(WM_PAINT, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    SendMessageA(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(Handle(), &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, appIcon);
    EndPaint(Handle(), &paint);
    return 0;
}

LRESULT MainDialog::OnQueryDragIcon(WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>(appIcon);
}

LRESULT MainDialog::OnSpeakerMute(WPARAM, LPARAM) {
    UpdateData(true);
    SetSpeakerMute(speakerMuted);
    return 0;
}

LRESULT MainDialog::OnMicMute(WPARAM, LPARAM) {
    UpdateData(true);
    SetMicMute(micMuted);
    return 0;
}

// Every scroll notice, each step of a drag included, sets the level; notices from any other window (or
// from another program naming one) only get the default processing.
LRESULT MainDialog::OnHScroll(WPARAM wParam, LPARAM lParam) {
    HWND bar = reinterpret_cast<HWND>(lParam);
    if (bar && bar == speakerSlider.Handle())
        SetSpeakerVolume(static_cast<DWORD>(speakerSlider.Position()) * 2);
    else if (bar && bar == micSlider.Handle())
        SetMicVolume(static_cast<DWORD>(micSlider.Position()) * 2);
    return PlatformWindowProc(WM_HSCROLL, wParam, lParam);
}

// The box is written through at once; the contact filter reads the box itself.
LRESULT MainDialog::OnOnlineOnlyClicked(WPARAM, LPARAM) {
    RegistryKey settings(CreateKey);
    if (OpenSettings(settings))
        settings.Value("ShowOnlineOnly").SetText(onlineOnlyBox.Checked() ? "1" : "0");
    settings.Close();
    return 0;
}

// Saved at once, so that what the user typed outlives a program that is ended rather than shut down.
LRESULT MainDialog::OnCountryCodeChanged(WPARAM, LPARAM) {
    countryCode = countryCodeEdit.Text();
    SaveCountryCode();
    return 0;
}

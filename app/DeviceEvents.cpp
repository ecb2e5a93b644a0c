// The device's comings and goings as the window hears of them, and the window's timers.
#include "app/MainDialog.h"
#include "app/res/resource.h"

namespace {

constexpr UINT StartDelayMs = 3000;
constexpr UINT StartRetryMs = 200;

std::string LoadAppString(UINT id) {
    char text[256] = "";
    LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
    return text;
}

UINT_PTR TimerId(BridgeTimer timer) {
    switch (timer) {
    case BridgeTimer::Contacts:
        return TIMER_CONTACTS;
    case BridgeTimer::Ring:
        return TIMER_RING;
    case BridgeTimer::Release:
        return TIMER_RELEASE;
    case BridgeTimer::Notice:
        return TIMER_NOTICE;
    }
    return 0;
}

} // namespace

void MainDialog::OnPhoneArrived(DWORD arrivedProductId) {
    if (!session.OnArrived(arrivedProductId))
        return;
    RefreshDevicePanel(IDS_OPENING, session.ProductId(), session.MixerOpen());
    SetTimer(Handle(), TIMER_START_DEVICE, StartDelayMs, nullptr);
}

void MainDialog::OnPhoneRemoved(DWORD removedProductId) {
    DeviceSession::Removal removal = session.OnRemoved(removedProductId);
    if (removal == DeviceSession::Removal::OtherProduct)
        return;
    if (removal == DeviceSession::Removal::InService)
        RefreshDevicePanel(IDS_NOT_FOUND, 0, session.MixerOpen());
    UpdateTrayIcon(TrayDeviceAbsent);
}

void MainDialog::OnResume() {
    if (session.Resume())
        ShowDevice(IDS_OPENING, session.ProductId(), session.MixerOpen());
}

void MainDialog::OnHandsetGone() {
    if (session.OnGone())
        RefreshDevicePanel(IDS_NOT_FOUND, 0, session.MixerOpen());
}

// Answers whether a base is in service or waking.
bool MainDialog::StartDevice() {
    if (session.HasBase()) {
        // Plugged in again while the base before is still being torn down (its event thread drains what
        // it had received): the new one starts once the old one has gone.
        if (!session.InService())
            SetTimer(Handle(), TIMER_START_DEVICE, StartRetryMs, nullptr);
        return session.InService();
    }
    if (session.Open(Handle()) == DeviceSession::Opening::NoBase) {
        RefreshDevicePanel(IDS_NOT_FOUND, session.ProductId(), session.MixerOpen());
        return false;
    }
    ShowDevice(IDS_OPENING, session.ProductId(), session.MixerOpen());
    return true;
}

void MainDialog::OnHandshakeDone() {
    switch (session.OnHandshakeDone()) {
    case DeviceSession::Handshaken::Stray:
    case DeviceSession::Handshaken::Unplugged: // the removal has shown it already
        return;
    case DeviceSession::Handshaken::Silent:
        EndDialog(-1); // the base does not answer: the program cannot serve it
        return;
    case DeviceSession::Handshaken::Started:
        BringIntoService();
        return;
    case DeviceSession::Handshaken::Resumed:
        ShowDevice(session.Waking() ? IDS_OPENING : IDS_MODEL_NAME, session.ProductId(), session.MixerOpen());
        return;
    }
}

void MainDialog::BringIntoService() {
    if (skype.Attached())
        ShowSkypeLink(true);
    session.Run();
    skype.DiscoverSkype();
    SetTimer(Handle(), TIMER_SKYPE_PUMP, SkypeCommandPaceMs, nullptr);
    bridge.OnDeviceStarted();
    // The missing-Skype and mixer boxes run the window's messages, so the base may have been unplugged
    // and released while one was up: then no mixer is opened for it and the panel does not name it.
    if (session.HasBase() && !session.OpenMixer(Handle()))
        MessageBoxA(Handle(), LoadAppString(IDS_MIXER_FAILED).c_str(), AppMessageCaption, MB_OK);
    UINT hardwareText = IDS_NOT_FOUND;
    if (session.HasBase())
        hardwareText = session.Waking() ? IDS_OPENING : IDS_MODEL_NAME;
    ShowDevice(hardwareText, session.ProductId(), session.MixerOpen());
    if (session.HasBase())
        UpdateTrayIcon(TrayDevicePresent);
}

void MainDialog::StartTimer(BridgeTimer timer, unsigned ms) {
    SetTimer(Handle(), TimerId(timer), ms, nullptr);
}

// Every timer is one-shot in effect: it is killed on entry and each case starts its own again.
void MainDialog::OnTimer(UINT_PTR id) {
    KillTimer(Handle(), id);
    switch (id) {
    case TIMER_START_DEVICE:
        StartDevice();
        break;
    case TIMER_SKYPE_PUMP:
        skype.PumpStep();
        SetTimer(Handle(), TIMER_SKYPE_PUMP, SkypeCommandPaceMs, nullptr);
        break;
    case TIMER_CONTACTS:
        bridge.OnTimer(BridgeTimer::Contacts);
        break;
    case TIMER_RING:
        bridge.OnTimer(BridgeTimer::Ring);
        break;
    case TIMER_RELEASE:
        bridge.OnTimer(BridgeTimer::Release);
        break;
    case TIMER_NOTICE:
        bridge.OnTimer(BridgeTimer::Notice);
        break;
    default:
        break;
    }
}

LRESULT MainDialog::OnTimerMessage(WPARAM wParam, LPARAM) {
    OnTimer(wParam);
    return 0;
}

void MainDialog::RestartSkypePump() {
    SetTimer(Handle(), TIMER_SKYPE_PUMP, SkypeCommandPaceMs, nullptr);
}

// Device start-up, the handset event thread and the main window's timers.
//
// The device object lives on the main thread: only the main thread creates and deletes `dectBase`, and
// the event thread uses it only while it runs. When the base is unplugged the event thread stops polling,
// posts HANDSET_GONE and ends; OnHandsetGone then waits for the thread's end and deletes the object. So
// every main-thread use of `dectBase` (display, indicators, ringing, key translation) happens either
// before the deletion or after it has been cleared, and no lock is needed around it.
#include <process.h>

#include "app/MainDialog.h"
#include "app/res/resource.h"
#include "chip/PhoneLibrary.h"
#include "dect/DectBase.h"

volatile LONG burstPolls = 0;

namespace {

constexpr UINT StartDelayMs = 3000;
constexpr UINT SkypePumpMs = 200;
constexpr UINT FirstContactsRequestMs = 5000;
constexpr UINT ContactsRefreshMs = 360000;
constexpr DWORD IdlePollMs = 5;
constexpr LONG PollsAfterEvent = 5;

// Set by the event thread when it has left the unplugged device to the main thread; a HANDSET_GONE
// message without it comes from elsewhere and is ignored.
volatile LONG deviceLeft = 0;

std::string LoadAppString(UINT id) {
    char text[256] = "";
    LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
    return text;
}

} // namespace

void MainDialog::OnPhoneArrived(DWORD arrivedProductId) {
    InterlockedIncrement(&devicesPresent);
    if (productId != 0)
        return; // a device is already announced or in service
    productId = arrivedProductId;
    RefreshDevicePanel(IDS_OPENING, productId);
    SetTimer(Handle(), TIMER_START_DEVICE, StartDelayMs, nullptr);
}

void MainDialog::OnPhoneRemoved(DWORD removedProductId) {
    // A base present at start-up came without an arrival notice; its removal must not leave the count
    // below zero, which would show an absent base as present.
    if (devicesPresent > 0)
        InterlockedDecrement(&devicesPresent);
    if (removedProductId != productId)
        return;
    if (dectBase) {
        RefreshDevicePanel(IDS_NOT_FOUND, 0);
        SetEvent(deviceRemovedEvent);
    }
    productId = 0;
    UpdateTrayIcon(TrayDeviceAbsent);
}

void MainDialog::OnResume() {
    if (dectBase)
        dectBase->Open(); // the link keeps running; a silent base shows up at the next unplug
}

void MainDialog::OnHandsetGone() {
    if (InterlockedExchange(&deviceLeft, 0) == 0)
        return;
    if (eventThread) {
        // The thread posted its last message just before it ended.
        WaitForSingleObject(eventThread, INFINITE);
        CloseHandle(eventThread);
        eventThread = nullptr;
    }
    if (!dectBase)
        return; // Shutdown has released the device meanwhile
    delete dectBase;
    dectBase = nullptr;
    mixerOpen = 0;
    CloseMixer();
    CloseDevice();
    RefreshDevicePanel(IDS_NOT_FOUND, 0);
}

bool MainDialog::StartDevice() {
    if (dectBase)
        return true;
    UINT hardwareText = IDS_NOT_FOUND;
    OpenDevice(&productId);
    if (productId == DectBaseProductId) {
        dectBase = new DectBase;
        hardwareText = IDS_MODEL_NAME;
    }
    if (dectBase) {
        if (!dectBase->Open()) {
            EndDialog(-1); // the base does not answer: the program cannot serve it
            return false;
        }
        if (skypeWindow)
            SetSkypeConnected(true);
        if (!SetDeviceName("USB Internet Phone By"))
            SetDeviceName("USB");
        if (dectBase->NeedsEventThread()) {
            stopEventThread = 0;
            // A removal notice left over from a device that went earlier must not end the new thread.
            ResetEvent(deviceRemovedEvent);
            eventThread =
                reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, HandsetEventThread, this, 0, nullptr));
            if (eventThread)
                SetThreadPriority(eventThread, THREAD_PRIORITY_TIME_CRITICAL);
        }
        MixerOpenRecord mixer = {};
        lstrcpynA(mixer.name, "USB", sizeof mixer.name);
        mixer.window = Handle();
        DiscoverSkype();
        SetTimer(Handle(), TIMER_SKYPE_PUMP, SkypePumpMs, nullptr);
        SetTimer(Handle(), TIMER_CONTACTS, FirstContactsRequestMs, nullptr);
        // The missing-Skype and mixer boxes run the window's messages, so the base may have been unplugged
        // and released while one was up: then no mixer is opened for it and the panel does not name it.
        if (dectBase) {
            mixerOpen = OpenMixer(&mixer);
            if (!mixerOpen)
                MessageBoxA(Handle(), LoadAppString(IDS_MIXER_FAILED).c_str(), AppMessageCaption, MB_OK);
        }
        if (!dectBase)
            hardwareText = IDS_NOT_FOUND;
    }
    RefreshDevicePanel(hardwareText, productId);
    if (dectBase)
        UpdateTrayIcon(TrayDevicePresent);
    return dectBase != nullptr;
}

unsigned __stdcall MainDialog::HandsetEventThread(void* dialog) {
    MainDialog* self = static_cast<MainDialog*>(dialog);
    for (;;) {
        bool burst;
        if (self->dectBase && self->dectBase->PollEvent()) {
            // Codes of 128 and above reach the window negative, as the byte is signed.
            LONG code = static_cast<signed char>(self->dectBase->TakeKeyCode());
            PostMessageA(self->Handle(), WM_HANDSET_EVENT, HANDSET_KEY, code);
            burstPolls = PollsAfterEvent;
            burst = true;
        } else {
            burst = burstPolls != 0;
        }
        if (burst && self->stopEventThread == 0) {
            InterlockedDecrement(&burstPolls);
            continue;
        }
        if (WaitForSingleObject(self->deviceRemovedEvent, IdlePollMs) == WAIT_OBJECT_0) {
            // The main thread deletes the device object and closes mixer and device on this message.
            deviceLeft = 1;
            PostMessageA(self->Handle(), WM_HANDSET_EVENT, HANDSET_GONE, 0);
            return 0;
        }
        if (self->stopEventThread != 0)
            return 0; // Shutdown releases the device itself
    }
}

void MainDialog::OnTimer(UINT_PTR id) {
    KillTimer(Handle(), id);
    switch (id) {
    case TIMER_START_DEVICE:
        StartDevice();
        break;
    case TIMER_SKYPE_PUMP:
        SkypePumpStep();
        SetTimer(Handle(), TIMER_SKYPE_PUMP, SkypePumpMs, nullptr);
        break;
    case TIMER_CONTACTS:
        // The list is asked for only while it is empty; the USERS answer arms this timer again.
        if (contacts.empty())
            QueueSkypeCommand("SEARCH FRIENDS");
        else
            SetTimer(Handle(), TIMER_CONTACTS, ContactsRefreshMs, nullptr);
        break;
    case TIMER_RING:
        OnRingTimer();
        break;
    default:
        break;
    }
}

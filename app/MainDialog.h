#pragma once
// The main window: owner of every object of a run, and home of the operations of the Skype link and the
// handset bridge. Operations are defined in the file of their concern:
//   app/MainDialog.cpp        construction, initialisation, routing tables, Shutdown, PlaceMainWindow
//   app/DevicePanel.cpp       RefreshDevicePanel, the panel's control handlers, SaveCountryCode, painting
//   app/TrayIcon.cpp          NotifyTray, UpdateTrayIcon, RemoveTrayIcon, OnTrayNotify, ShowTrayMenu, OnSize
//   skype/SkypeLink.cpp       DiscoverSkype, attach reply, the command queue, SetSkypeConnected, ...
//   skype/SkypeNotifications.cpp  HandleSkypeNotification, OnRingTimer
//   bridge/DeviceStartup.cpp  StartDevice, arrival/removal/resume, the handset event thread, OnTimer
//   bridge/HandsetKeys.cpp    HandleHandsetKey
//   bridge/ContactBrowser.cpp FindContactInGroup
#include <windows.h>

#include <deque>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "app/ExitRequestWindow.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "skype/CallRecord.h"

class DectBase;

// Private window messages and timers of the main window.
enum : UINT {
    WM_MIXER_CHANGE = 977,
    WM_TRAY_NOTIFY = 1124,
    WM_HANDSET_EVENT = 1225,
    WM_PHONE_ARRIVED = 1424,
    WM_PHONE_REMOVED = 1425,
    WM_PHONE_KEY = 1426,
    WM_PHONE_SHOW = 1427,
};
enum : WPARAM { HANDSET_KEY = 100, HANDSET_GONE = 101 };
enum : UINT_PTR { TIMER_START_DEVICE = 2, TIMER_SKYPE_PUMP = 5, TIMER_CONTACTS = 6, TIMER_RING = 8 };

// Arguments of UpdateTrayIcon; any value other than TrayDevicePresent counts as absent.
enum TrayState { TrayDeviceAbsent = 15, TrayDevicePresent = 16 };

// The handset dialling state, shared by the Skype interpreter and the key handler.
enum DialState : LONG { Idle = 0, EnteringNumber = 1, BrowsingContacts = 2, InCall = 3 };

// The one window handle shared by every running instance (0, -1 while starting, or the main window).
extern volatile LONG sharedMainWindow;
// Skype's API window once attached, else 0.
extern HWND skypeWindow;
// Polls the handset event thread still makes without waiting after the last event.
extern volatile LONG burstPolls;
// 1 while the About box may be opened from the tray menu, 0 while it is open.
extern volatile LONG aboutAllowed;

class MainDialog : public fw::Dialog {
public:
    MainDialog();
    ~MainDialog() override;

    // --- Frame (app/MainDialog.cpp) ---
    void Shutdown();
    void PlaceMainWindow();

    // --- Panel (app/DevicePanel.cpp) ---
    void RefreshDevicePanel(UINT textId, DWORD productId);
    void SaveCountryCode();

    // --- Tray (app/TrayIcon.cpp) ---
    void UpdateTrayIcon(int state);
    void RemoveTrayIcon();
    void OnTrayNotify(UINT iconId, UINT mouseMessage);
    void ShowTrayMenu(HWND owner);

    // --- Skype link (skype/) ---
    bool DiscoverSkype();
    void OnAttachReply(HWND apiWindow, LPARAM status);
    void QueueSkypeCommand(const std::string& text);
    void SendNextSkypeCommand();
    void SkypePumpStep(); // the timer-5 step: send one command, or rediscover while not attached
    void SetSkypeConnected(bool on);
    void SetCallActive(bool on);
    void ShowOnHandset(const std::string& text);
    void HandleSkypeNotification(const COPYDATASTRUCT* copyData);
    void OnRingTimer();

    // --- Handset bridge (bridge/) ---
    bool StartDevice();
    void OnPhoneArrived(DWORD arrivedProductId);
    void OnPhoneRemoved(DWORD removedProductId);
    void OnResume();
    void OnHandsetGone();
    void OnTimer(UINT_PTR id);
    void HandleHandsetKey(LONG code);
    bool FindContactInGroup(std::list<ContactRecord>::iterator start, BYTE key);
    static unsigned __stdcall HandsetEventThread(void* dialog);

    // --- State, public so that the operations of every subsystem and the tests can reach it ---
    DectBase* dectBase = nullptr;
    ExitRequestWindow exitRequestWindow;
    HICON appIcon = nullptr;
    HANDLE deviceRemovedEvent = nullptr;
    HANDLE eventThread = nullptr;
    volatile LONG stopEventThread = 0;
    DWORD productId = 0;
    volatile LONG devicesPresent = 0;
    volatile LONG mixerOpen = 0;
    fw::IconStatic deviceIcon;
    fw::IconStatic skypeIcon;
    std::string deviceInfoText;
    std::string serialText;
    std::string skypeStatusText;
    std::string countryCode;
    int speakerMuted = 0;
    int micMuted = 0;
    fw::Edit countryCodeEdit;     // 1059
    fw::Button onlineOnlyBox;     // 1056
    fw::Button speakerMuteBox;    // 1043
    fw::Button micMuteBox;        // 1046
    fw::Slider speakerSlider;     // 1042
    fw::Slider micSlider;         // 1045
    fw::Control serialLabel;      // 1020
    fw::Control serialValue;      // 1021
    std::list<ContactRecord> contacts;
    std::deque<std::string> skypeCommands;
    std::unique_ptr<CallRecord> currentCall;
    LONG dialState = Idle;
    std::string dialString;
    BYTE lastKey = 0;
    std::list<ContactRecord>::iterator browseNext = contacts.end();
    bool skypeConnected = false;
    UINT attachMessage = 0;
    UINT discoverMessage = 0;

    // Message table handlers (app/MainDialog.cpp lists them).
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnQueryDragIcon(WPARAM, LPARAM);
    LRESULT OnClose(WPARAM, LPARAM);
    LRESULT OnTimerMessage(WPARAM, LPARAM);
    LRESULT OnExit(WPARAM, LPARAM);
    LRESULT OnCancel(WPARAM, LPARAM);
    LRESULT OnSpeakerMute(WPARAM, LPARAM);
    LRESULT OnMicMute(WPARAM, LPARAM);
    LRESULT OnHScroll(WPARAM, LPARAM);
    LRESULT OnSize(WPARAM, LPARAM);
    LRESULT OnOnlineOnlyClicked(WPARAM, LPARAM);
    LRESULT OnCountryCodeChanged(WPARAM, LPARAM);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(fw::DataExchange& dx) override;
    bool RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    LRESULT DefaultWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool shutDown = false; // Shutdown runs once
};

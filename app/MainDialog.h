#pragma once
// The main window: it owns the objects of a run, routes window messages and timers to them, and is the
// view of their state (the panel and the tray). Its operations live in the file of their concern:
//   app/MainDialog.cpp        construction, initialisation, routing tables, Shutdown, PlaceMainWindow
//   app/DeviceEvents.cpp      StartDevice, arrival, removal, resume, the base's departure, OnTimer
//   app/DevicePanel.cpp       RefreshDevicePanel, the panel's control handlers, SaveCountryCode, painting
//   app/TrayIcon.cpp          UpdateTrayIcon, RemoveTrayIcon, OnTrayNotify, ShowTrayMenu, OnSize
#include <windows.h>

#include <string>

#include "app/ExitRequestWindow.h"
#include "bridge/CallBridge.h"
#include "bridge/DeviceSession.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "skype/SkypeLink.h"

// Private window messages and timers of the main window.
enum : UINT {
    WM_MIXER_CHANGE = 977,
    WM_TRAY_NOTIFY = 1124,
    WM_PHONE_ARRIVED = 1424,
    WM_PHONE_REMOVED = 1425,
    WM_PHONE_KEY = 1426,
    WM_PHONE_SHOW = 1427,
};
enum : UINT_PTR {
    TIMER_START_DEVICE = 2,
    TIMER_SKYPE_PUMP = 5,
    TIMER_CONTACTS = 6,
    TIMER_RING = 8,
    TIMER_RELEASE = 9,
    TIMER_NOTICE = 10,
};

// Arguments of UpdateTrayIcon; any value other than TrayDevicePresent counts as absent.
enum TrayState { TrayDeviceAbsent = 15, TrayDevicePresent = 16 };

// The one window handle shared by every running instance (0, -1 while starting, or the main window).
extern volatile LONG sharedMainWindow;

class MainDialog : public fw::Dialog,
                   private SkypeLinkOwner,
                   private BridgeTimers,
                   private DialSettings,
                   private CallListOwner,
                   private PhaseWatcher {
  public:
    MainDialog();
    // A run that ended without Shutdown is shut down here, while the window still exists.
    ~MainDialog() override;

    // --- Frame (app/MainDialog.cpp) ---
    void Shutdown();
    void PlaceMainWindow();

    // --- Panel (app/DevicePanel.cpp) ---
    // The device's part of the panel (ShowDevice), then the settings from the registry (LoadPanelSettings).
    void RefreshDevicePanel(UINT textId, DWORD productId, bool mixerOpen);
    // The device text (unless textId is 0), icon, serial number and audio controls. The base's handshake
    // shows its progress with this alone: it ends while the user may be typing a country code, which a
    // reload of the settings would replace with the saved one.
    void ShowDevice(UINT textId, DWORD productId, bool mixerOpen);
    void LoadPanelSettings();
    // The saved country code into its edit, once at start; from then on the edit is its live value.
    void LoadCountryCode();
    void SaveCountryCode();

    // --- Tray (app/TrayIcon.cpp) ---
    void UpdateTrayIcon(int state);
    void RemoveTrayIcon();
    void OnTrayNotify(UINT iconId, UINT mouseMessage);
    void ShowTrayMenu(HWND owner);
    // The shell tells every window when it starts anew (Explorer restarted), having lost every icon.
    static bool IsShellRestart(UINT message);

    // --- The device and the timers (app/DeviceEvents.cpp) ---
    bool StartDevice();
    void OnPhoneArrived(DWORD productId);
    void OnPhoneRemoved(DWORD productId);
    void OnResume();
    void OnHandsetGone();
    // The base's handshake has ended: a started base is brought into service, a silent one ends the run.
    void OnHandshakeDone();
    void OnTimer(UINT_PTR id);

    // The objects a run is made of, for whoever drives the window in a test.
    DeviceSession& Session() { return session; }
    SkypeLink& Skype() { return skype; }
    CallBridge& Bridge() { return bridge; }

    // Message table handlers (app/MainDialog.cpp lists them).
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnQueryDragIcon(WPARAM, LPARAM);
    LRESULT OnClose(WPARAM, LPARAM);
    LRESULT OnTimerMessage(WPARAM, LPARAM);
    LRESULT OnExit(WPARAM, LPARAM);
    LRESULT OnCancel(WPARAM, LPARAM);
    LRESULT OnDestroy(WPARAM, LPARAM);
    LRESULT OnEndSession(WPARAM, LPARAM);
    LRESULT OnSpeakerMute(WPARAM, LPARAM);
    LRESULT OnMicMute(WPARAM, LPARAM);
    LRESULT OnHScroll(WPARAM, LPARAM);
    LRESULT OnSize(WPARAM, LPARAM);
    LRESULT OnOnlineOnlyClicked(WPARAM, LPARAM);
    LRESULT OnCountryCodeChanged(WPARAM, LPARAM);
    LRESULT OnGetDefaultId(WPARAM, LPARAM);

  protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(fw::DataExchange& dx) override;
    bool RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    LRESULT DefaultWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    // The link's state on the panel, the tray and the base's Skype light (SetSkypeConnected).
    void ShowSkypeLink(bool attached) override;
    void OnSkypeNotification(const std::string& text) override;
    void RestartSkypePump() override;
    void OnSkypeLinkLost() override;
    void StartTimer(BridgeTimer timer, unsigned ms) override;
    std::string CountryCode() const override;
    bool OnlineOnly() const override;
    // The calls list in the settings (app/CallList.cpp); the tray's tip counts its missed calls.
    void CallListChanged(const CallLog& calls) override;
    unsigned long long NowMs() const override;
    void RestoreCallList();
    // The handset's phase into the trace log.
    void PhaseChanged(HandsetPhase from, HandsetPhase to, const std::string& why) override;
    void PhaseRefused(HandsetPhase from, HandsetPhase to, const std::string& why) override;

    // After a start's handshake: the event thread, Skype, the timers, the mixer, the panel and the tray.
    void BringIntoService();
    // Releases everything in order; the run is over or about to be.
    void ReleaseAll();
    // The tray shows a base while one is announced or in service.
    TrayState DeviceTrayState() const;
    void KeepEnterInCountryCode();

    DeviceSession session;
    SkypeLink skype{*this};
    CallBridge bridge{skype, session, *this, *this};
    ExitRequestWindow exitRequestWindow;
    HICON appIcon = nullptr;
    bool shutDown = false; // Shutdown runs once
    // The link's state as last shown, which the tray's look follows.
    bool skypeConnected = false;
    // The base's state the tray shows, which a restarted shell is given again.
    int trayState = TrayDeviceAbsent;
    // 1 while the About box may be opened from the tray menu, 0 while it is open.
    int aboutAllowed = 1;

    // The panel's bound values and controls.
    fw::IconStatic deviceIcon;
    fw::IconStatic skypeIcon;
    std::string deviceInfoText;
    std::string serialText;
    std::string skypeStatusText;
    std::string countryCode;
    int speakerMuted = 0;
    int micMuted = 0;
    fw::Edit countryCodeEdit; // 1059
    fw::Button onlineOnlyBox; // 1056
    fw::Slider speakerSlider; // 1042
    fw::Slider micSlider;     // 1045
    fw::Control serialLabel;  // 1020
    fw::Control serialValue;  // 1021
};

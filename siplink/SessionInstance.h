#pragma once
// One SipLink per user session: two would register the same account and fight over their agents. The
// first start holds a mutex named for the session and the user for its whole run; a later start asks the
// running one to show itself (it opens its SIP account window, as a double click on its icon does) and
// ends. A running one that is still starting (no main window yet) or ending (no longer answering) is
// waited for: in the first case it answers soon, in the second the later start runs in its place. The
// account window (--settings) and --uninstall are no SipLink of this kind and run beside it.
#include <windows.h>

class SessionInstance {
  public:
    enum Outcome {
        First,      // this process is the session's SipLink
        HandedOver, // the running one was asked to show itself: this process ends
        NoAnswer,   // the running one neither answered nor ended in time
    };

    SessionInstance() = default;
    ~SessionInstance();
    SessionInstance(const SessionInstance&) = delete;
    SessionInstance& operator=(const SessionInstance&) = delete;

    // Claims the session for this process; the running SipLink is found by its main window's class.
    Outcome Claim(const char* mainWindowClass);
    // What the running SipLink's main window is sent by a later start; it answers 1 once it has shown
    // itself.
    static UINT ShowMessage();

  private:
    HANDLE mutex = nullptr;
    bool owned = false;
};

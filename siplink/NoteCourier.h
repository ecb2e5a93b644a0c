#pragma once
// Carries the API window's messages to the client on a thread of its own. A client that does not take a
// message keeps only this thread waiting (up to SendTimeoutMs for each), never SipLink's window, so the
// phone's side goes on. Messages go in the order handed over; at most MaxWaiting wait, and one beyond
// that is dropped and logged. It witnesses its sends: the client may ask the API window whether a message
// in SipLink's name is SipLink's (SenderCheck).
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "siplink/LogFile.h"
#include "skype/SenderCheck.h"

class NoteCourier {
  public:
    // The client may hang; SipLink must not.
    static constexpr UINT SendTimeoutMs = 5000;
    static constexpr size_t MaxWaiting = 1000;

    struct Item {
        HWND client;
        HWND from;     // the API window, which the client knows SipLink by
        bool attach;   // an attach reply instead of a text
        LPARAM status; // of an attach reply
        std::string text;
    };

    explicit NoteCourier(LogFile& log);
    // What is still waiting is dropped; a send under way ends within SendTimeoutMs.
    ~NoteCourier();
    NoteCourier(const NoteCourier&) = delete;
    NoteCourier& operator=(const NoteCourier&) = delete;

    void Send(Item item);
    // Waits until all that was handed over is delivered or given up, at most `timeoutMs`; what is still
    // waiting then is dropped and logged. Meanwhile the calling thread takes the messages sent to its
    // windows, so that the client's question about a message under way is answered.
    void Finish(DWORD timeoutMs);
    // The answer to the client's question (its wParam and lParam) whether a message is SipLink's.
    LRESULT Answer(WPARAM asker, LPARAM digest) { return witness.Answer(asker, digest); }

  private:
    void Run();
    void Deliver(const Item& item);
    // Drops what waits; the lock is held.
    void DropWaiting();

    LogFile& log;
    UINT attachMessage = RegisterWindowMessageA("SkypeControlAPIAttach");
    std::mutex lock; // waiting, sending, stopping
    std::condition_variable changed;
    std::deque<Item> waiting;
    bool sending = false;
    bool stopping = false;
    SendWitness witness;
    std::thread thread; // last: started once the rest is there
};

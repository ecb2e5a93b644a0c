#pragma once
// Who sent a WM_COPYDATA of the Skype API. Windows tells the receiver nothing about the sender: the
// "sender's window" in wParam is whatever the sending program wrote there, so any program can send a
// command or a notification in the name of another program's window. What sets the genuine sender apart
// is that, while the receiver handles its message, it waits inside its SendMessage to the receiver; and a
// thread waiting there still takes the messages sent to it. So the receiver asks the window named in
// wParam, before it acts, whether its program is sending exactly these bytes to it at this moment: the
// genuine sender says yes (once per send), the window of a program that was only named says no. A window
// that does not know the question (a Skype client, any other program) answers 0, Windows' default: for it
// nothing beyond the window itself can be checked.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// The question: wParam the asking window, lParam the digest of the bytes it was given.
UINT SenderQuestionMessage();

// The sending side: the WM_COPYDATA messages this program has under way, and the answer to the question.
class SendWitness {
  public:
    static constexpr LRESULT Mine = 0x4D494E45;    // "MINE"
    static constexpr LRESULT NotMine = 0x4E4F5421; // "NOT!"

    // One send, for as long as SendMessage carries it.
    class Sending {
      public:
        Sending(SendWitness& witness, HWND to, const void* data, size_t size);
        ~Sending();
        Sending(const Sending&) = delete;
        Sending& operator=(const Sending&) = delete;

      private:
        SendWitness& witness;
        uint64_t id;
    };

    // Mine for a send under way to the asking window with that digest, once: a second question about the
    // same send, a send to another window or other bytes get NotMine.
    LRESULT Answer(WPARAM asker, LPARAM digest);

  private:
    struct InFlight {
        uint64_t id;
        HWND to;
        uint32_t digest;
        bool confirmed;
    };

    std::mutex lock; // sends: SipLink sends from a thread of its own and answers from its window's
    std::vector<InFlight> sends;
    uint64_t nextId = 0;
};

enum class SenderAnswer {
    Confirmed, // the named window's program is sending these bytes now
    Denied,    // it is not, or did not answer in time: another program wrote its window
    Unknown,   // the named window does not know the question
};

// Asks `named`, the window a message to `receiver` gave as its sender, about the message's bytes.
SenderAnswer AskSender(HWND named, HWND receiver, const void* data, size_t size);

// The id of the process that made the window (0 when it is no window): the sender's window must also be
// the attached program's, since a window handle of a program gone can come back as another's.
DWORD WindowProcess(HWND window);

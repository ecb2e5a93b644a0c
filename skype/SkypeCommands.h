#pragma once
// The way out to Skype: a queue of one-line commands, paced by the link. Plain C++, no window.
#include <string>

// Commands about one call carry that call's tag, so that those still waiting can be dropped once the call
// is abandoned or over, and so that they leave before commands of no call (the contacts' status queries);
// a command of no call carries NoCall and always leaves. The contact list's request has a tag of its own,
// so that a request still waiting is replaced rather than repeated.
using CallTag = unsigned;
constexpr CallTag NoCall = 0;

class SkypeCommands {
  public:
    // Appends a copy of the text at the tail; it leaves after the commands about a call, in queue order.
    virtual void QueueSkypeCommand(const std::string& text, CallTag call = NoCall) = 0;
    // Removes every waiting command of that call (nothing for NoCall); answers whether any was waiting.
    virtual bool DropSkypeCommands(CallTag call) = 0;

  protected:
    ~SkypeCommands() = default;
};

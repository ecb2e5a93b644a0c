#pragma once
// SipLink's question to its user when a program it was not installed with asks to use the line: a small
// window naming the program, with "Allow" and "Deny" (closing it denies). One question at a time.
//
// Only the user answers it: the program asking could otherwise allow itself by posting the button's
// WM_COMMAND. A button counts only for a click or a Space key that is real input at it: taken from this
// thread's input queue (not sent by another thread), with the mouse button or key really in the state
// the message says (messages posted by a program do not move the key state), the question's window in
// the foreground and, for a click, the pointer over that button, from press to release.
#include <windows.h>

#include <functional>
#include <string>

class AccessPrompt {
  public:
    using AnswerHandler = std::function<void(bool allowed)>;

    explicit AccessPrompt(AnswerHandler onAnswer) : onAnswer(std::move(onAnswer)) {}
    ~AccessPrompt() { Close(); }
    AccessPrompt(const AccessPrompt&) = delete;
    AccessPrompt& operator=(const AccessPrompt&) = delete;

    // Shows the question, the focus on "Deny"; false when the window could not be made.
    bool Ask(const std::string& question);
    // Takes the question away unanswered.
    void Close();
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    HWND Button(const char* text, int x, int id);
    static LRESULT CALLBACK ButtonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam);
    // What a button does with its message, watched for the user's own press and release.
    LRESULT OnButton(HWND button, UINT message, WPARAM wParam, LPARAM lParam);
    // Whether the message being handled is the user's input at `button`: `key` (VK_LBUTTON or VK_SPACE)
    // really `down` or up.
    bool UsersInput(HWND button, int key, bool down) const;
    void Answer(bool allowed);

    AnswerHandler onAnswer;
    HWND window = nullptr;
    HWND allow = nullptr;
    HWND deny = nullptr;
    WNDPROC buttonDefault = nullptr; // the buttons' own procedure
    HWND pressed = nullptr;          // the button the user's press began on
    HWND releasing = nullptr;        // the button whose release by the user is being handled: it answers
};

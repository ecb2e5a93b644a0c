#pragma once
// SipLink's question to its user when a program it was not installed with asks to use the line: a small
// window naming the program, with "Allow" and "Deny" (closing it denies). One question at a time.
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

    // Shows the question; false when the window could not be made.
    bool Ask(const std::string& question);
    // Takes the question away unanswered.
    void Close();
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    void Answer(bool allowed);

    AnswerHandler onAnswer;
    HWND window = nullptr;
};

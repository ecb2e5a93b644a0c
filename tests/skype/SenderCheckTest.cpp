// The question a receiver asks the window named as a message's sender, and what that window's program
// answers while its own sends are under way.
#include <gtest/gtest.h>
#include <windows.h>

#include "skype/SenderCheck.h"

namespace {

SendWitness* witnessing = nullptr;

// A program's window that knows the question and answers it from its witness.
LRESULT CALLBACK Answering(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == SenderQuestionMessage() && witnessing)
        return witnessing->Answer(wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

// A window that answers the question with something else.
LRESULT CALLBACK Agreeing(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == SenderQuestionMessage() ? 1 : DefWindowProcA(window, message, wParam, lParam);
}

HWND Make(WNDPROC procedure, const char* className) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

TEST(SenderCheck, TheNamedWindowConfirmsOnlyWhatItsProgramIsSendingThereNowAndEachSendOnce) {
    SendWitness witness;
    witnessing = &witness;
    HWND sender = Make(Answering, "SenderCheckAnswering");
    HWND receiver = Make(DefWindowProcA, "SenderCheckReceiver");
    HWND elsewhere = Make(DefWindowProcA, "SenderCheckReceiver");
    const char command[] = "CALL 0900123456";
    const char altered[] = "CALL 0900123457";
    EXPECT_EQ(AskSender(sender, receiver, command, sizeof command), SenderAnswer::Denied)
        << "nothing is sent";
    {
        SendWitness::Sending sending(witness, receiver, command, sizeof command);
        EXPECT_EQ(AskSender(sender, elsewhere, command, sizeof command), SenderAnswer::Denied)
            << "it goes to another window";
        EXPECT_EQ(AskSender(sender, receiver, altered, sizeof altered), SenderAnswer::Denied)
            << "other bytes";
        {
            // A send made while another is under way (a notification handled inside one's own send).
            SendWitness::Sending inner(witness, receiver, altered, sizeof altered);
            EXPECT_EQ(AskSender(sender, receiver, altered, sizeof altered), SenderAnswer::Confirmed);
        }
        EXPECT_EQ(AskSender(sender, receiver, command, sizeof command), SenderAnswer::Confirmed);
        EXPECT_EQ(AskSender(sender, receiver, command, sizeof command), SenderAnswer::Denied)
            << "one send confirmed twice: a copy sent alongside would count too";
    }
    EXPECT_EQ(AskSender(sender, receiver, command, sizeof command), SenderAnswer::Denied)
        << "the send is over";
    witnessing = nullptr;
    for (HWND window : {sender, receiver, elsewhere})
        DestroyWindow(window);
}

TEST(SenderCheck, AWindowThatDoesNotKnowTheQuestionIsUnknownAndAnyOtherAnswerDenies) {
    HWND receiver = Make(DefWindowProcA, "SenderCheckReceiver");
    HWND plain = Make(DefWindowProcA, "SenderCheckPlain");
    HWND agreeing = Make(Agreeing, "SenderCheckAgreeing");
    const char text[] = "CALL 1 STATUS RINGING";
    EXPECT_EQ(AskSender(plain, receiver, text, sizeof text), SenderAnswer::Unknown);
    EXPECT_EQ(AskSender(agreeing, receiver, text, sizeof text), SenderAnswer::Denied);
    EXPECT_EQ(AskSender(plain, receiver, nullptr, 0), SenderAnswer::Unknown) << "no bytes at all";
    DestroyWindow(plain);
    EXPECT_EQ(AskSender(plain, receiver, text, sizeof text), SenderAnswer::Denied) << "a window that is gone";
    DestroyWindow(agreeing);
    DestroyWindow(receiver);
}

} // namespace

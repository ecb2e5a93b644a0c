#pragma once
// The USB DECT base: wakes and identifies the base over the 2-wire bus, owns the packet link and turns
// packets from the base into handset event codes.
#include "dect/FineTimer.h"
#include "dect/PhoneDevice.h"

constexpr DWORD DectBaseProductId = 50076;

class DectBase : public PhoneDevice {
  public:
    ~DectBase() override;
    int Open() override;
    int PollEvent() override;
    int TakeKeyCode() override;
    int Reserved5() override;
    int SetSignal(int flag) override;
    UINT_PTR StartTimer(HWND window, UINT_PTR id, UINT intervalMs) override;
    int NeedsEventThread() override;
    int TranslateKey(int value) override;

  private:
    // Wakes and identifies the base, sets the channel registers idle and opens the link the first time.
    int Handshake();

    // Held while the base is in service, from its first successful Open on: the channel's ticks need it.
    FineTimer fineTimer;
};

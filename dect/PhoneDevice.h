#pragma once
// A general phone device; its defaults describe a device without any of these features.
#include <windows.h>

#include "dect/RegisterLock.h"

class PacketLink;

class PhoneDevice {
  public:
    PhoneDevice();
    virtual ~PhoneDevice();
    virtual int Open();
    virtual int PollEvent();
    virtual int TakeKeyCode();
    virtual int Reserved4(int);
    virtual int Reserved5();
    virtual int HasPhoneSwitch();
    virtual int SetSignal(int flag);
    virtual int GetFeatureFlag();
    virtual int Reserved9();
    virtual int Reserved10(int, int);
    virtual int Reserved11(int, int);
    virtual int Reserved12(int, int);
    virtual UINT_PTR StartTimer(HWND window, UINT_PTR id, UINT intervalMs);
    virtual int NeedsEventThread();
    virtual int TranslateKey(int value);
    virtual int Reserved16();
    virtual int Reserved17(int);
    virtual int Reserved18();
    virtual int Reserved19(int);
    virtual int Reserved20(int, int);

    PacketLink* Link() const { return link; }

    // Serialises every register access of the device. The main thread asks with a bound, so that a
    // channel thread stuck in a register access cannot hold up the window.
    void LockRegisters() { registerLock.Lock(); }
    bool LockRegistersWithin(DWORD timeoutMs) { return registerLock.LockWithin(timeoutMs); }
    void UnlockRegisters() { registerLock.Unlock(); }

    LONG eventCode = -1;

  protected:
    PacketLink* link = nullptr;
    RegisterLock registerLock;
};

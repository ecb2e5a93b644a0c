#include "dect/DectBase.h"

DectBase::~DectBase() {}
int DectBase::Open() { return 0; }
int DectBase::PollEvent() { return 0; }
int DectBase::TakeKeyCode() { return 0; }
int DectBase::Reserved5() { return 1; }
int DectBase::SetSignal(int) { return 1; }
UINT_PTR DectBase::StartTimer(HWND window, UINT_PTR id, UINT intervalMs) { return SetTimer(window, id, intervalMs, nullptr); }
int DectBase::NeedsEventThread() { return 1; }
int DectBase::TranslateKey(int) { return 0; }

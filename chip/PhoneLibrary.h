#pragma once
// The vendor's phone library TjIpSys.dll: loaded at run time, reached only through its one entry.
#include <windows.h>

#include <string>

// int WINAPI TjIpSysCall(int op, UINT_PTR a, UINT_PTR b)
using TjIpSysCallEntry = int(WINAPI*)(int op, UINT_PTR a, UINT_PTR b);

enum PhoneOp : int {
    OpOpenDevice = 0,
    OpCloseDevice = 1,
    OpRegisterTransfer = 2,
    OpAttachWindow = 16,
    OpDetachWindow = 17,
    OpDeviceChange = 18,
    OpGetSerialNumber = 19,
    OpSetDeviceName = 20,
    OpOpenMixer = 31,
    OpCloseMixer = 32,
    OpGetMicVolume = 33,
    OpSetMicVolume = 34,
    OpGetSpeakerVolume = 35,
    OpSetSpeakerVolume = 36,
    OpGetMicMute = 39,
    OpSetMicMute = 40,
    OpGetSpeakerMute = 41,
    OpSetSpeakerMute = 42,
    OpMixerChange = 45,
};

// The record OpenMixer takes: a 256-byte name, then the window that receives mixer notices.
struct MixerOpenRecord {
    char name[256];
    HWND window;
};
static_assert(sizeof(MixerOpenRecord) == 260, "the library reads the window at offset 256");

struct RegisterRequest;

// Loads "TjIpSys.dll" from the program's folder and resolves "TjIpSysCall"; answers 0 when it cannot, and
// the program tells the user where it looked (PhoneLibraryFolder).
int LoadPhoneLibrary();
// The folder the library is loaded from: the program's own; empty when the system does not tell.
std::string PhoneLibraryFolder();
void UnloadPhoneLibrary();
HMODULE PhoneLibraryModule();

// One wrapper per operation; each answers the library's result, or 0 while the library is not loaded.
int OpenDevice(DWORD* productId);
int CloseDevice();
int RegisterTransfer(RegisterRequest* request);
int AttachWindow(HWND window);
int DetachWindow();
int DeviceChange(WPARAM wParam, LPARAM lParam);
int GetSerialNumber(char* buffer32);
int SetDeviceName(const char* name);
int OpenMixer(MixerOpenRecord* record);
int CloseMixer();
int GetMicVolume(DWORD* level);
int SetMicVolume(DWORD level);
int GetSpeakerVolume(DWORD* level);
int SetSpeakerVolume(DWORD level);
int GetMicMute(int* flag);
int SetMicMute(int flag);
int GetSpeakerMute(int* flag);
int SetSpeakerMute(int flag);
int MixerChange(WPARAM wParam, LPARAM lParam);

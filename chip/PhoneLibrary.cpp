#include "chip/PhoneLibrary.h"

#include <cstdio>
#include <cstring>

#include "app/res/resource.h"
#include "chip/Registers.h"

namespace {

HMODULE libraryModule = nullptr;
TjIpSysCallEntry libraryEntry = nullptr;

int Call(int op, UINT_PTR a, UINT_PTR b) { return libraryEntry ? libraryEntry(op, a, b) : 0; }

template <class T> UINT_PTR Address(T* pointer) { return reinterpret_cast<UINT_PTR>(pointer); }

// The missing library's message: string 1, then what the user can do about it, naming the folder.
void ReportMissingLibrary(const char* folder) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    char missing[256] = "";
    char where[512] = "";
    LoadStringA(instance, IDS_LIBRARY_MISSING, missing, sizeof missing);
    LoadStringA(instance, IDS_LIBRARY_WHERE, where, sizeof where);
    char text[256 + 512 + MAX_PATH];
    std::snprintf(text, sizeof text, "%s\n\n", missing);
    size_t length = std::strlen(text);
    std::snprintf(text + length, sizeof text - length, where, folder);
    MessageBoxA(nullptr, text, AppMessageCaption, MB_OK);
}

} // namespace

int LoadPhoneLibrary() {
    // Only the copy in the program's own folder is ours to load.
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = length && length < MAX_PATH ? std::strrchr(path, '\\') : nullptr;
    if (slash && static_cast<size_t>(slash - path) + sizeof "\\TjIpSys.dll" <= MAX_PATH) {
        std::strcpy(slash + 1, "TjIpSys.dll");
        libraryModule = LoadLibraryA(path);
    }
    if (libraryModule)
        libraryEntry = reinterpret_cast<TjIpSysCallEntry>(
            reinterpret_cast<void*>(GetProcAddress(libraryModule, "TjIpSysCall")));
    if (libraryEntry)
        return 1;
    if (slash)
        *slash = '\0';
    ReportMissingLibrary(path);
    UnloadPhoneLibrary();
    return 0;
}

void UnloadPhoneLibrary() {
    if (libraryModule)
        FreeLibrary(libraryModule);
    libraryModule = nullptr;
    libraryEntry = nullptr;
}

HMODULE PhoneLibraryModule() { return libraryModule; }

int OpenDevice(DWORD* productId) { return Call(OpOpenDevice, Address(libraryModule), Address(productId)); }
int CloseDevice() { return Call(OpCloseDevice, 0, 0); }
int RegisterTransfer(RegisterRequest* request) { return Call(OpRegisterTransfer, 0, Address(request)); }
int AttachWindow(HWND window) { return Call(OpAttachWindow, Address(window), 0); }
int DetachWindow() { return Call(OpDetachWindow, 0, 0); }
int DeviceChange(WPARAM wParam, LPARAM lParam) { return Call(OpDeviceChange, wParam, static_cast<UINT_PTR>(lParam)); }
int GetSerialNumber(char* buffer32) { return Call(OpGetSerialNumber, 32, Address(buffer32)); }
int SetDeviceName(const char* name) { return Call(OpSetDeviceName, 0, Address(name)); }
int OpenMixer(MixerOpenRecord* record) { return Call(OpOpenMixer, 0, Address(record)); }
int CloseMixer() { return Call(OpCloseMixer, 0, 0); }
int GetMicVolume(DWORD* level) { return Call(OpGetMicVolume, 0, Address(level)); }
int SetMicVolume(DWORD level) { return Call(OpSetMicVolume, 0, level); }
int GetSpeakerVolume(DWORD* level) { return Call(OpGetSpeakerVolume, 0, Address(level)); }
int SetSpeakerVolume(DWORD level) { return Call(OpSetSpeakerVolume, 0, level); }
int GetMicMute(int* flag) { return Call(OpGetMicMute, 0, Address(flag)); }
int SetMicMute(int flag) { return Call(OpSetMicMute, static_cast<UINT_PTR>(flag), 0); }
int GetSpeakerMute(int* flag) { return Call(OpGetSpeakerMute, 0, Address(flag)); }
int SetSpeakerMute(int flag) { return Call(OpSetSpeakerMute, static_cast<UINT_PTR>(flag), 0); }
int MixerChange(WPARAM wParam, LPARAM lParam) { return Call(OpMixerChange, wParam, static_cast<UINT_PTR>(lParam)); }

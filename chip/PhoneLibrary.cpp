#include "chip/PhoneLibrary.h"

#include <cstring>

#include "chip/Registers.h"

namespace {

HMODULE libraryModule = nullptr;
TjIpSysCallEntry libraryEntry = nullptr;

int Call(int op, UINT_PTR a, UINT_PTR b) {
    return libraryEntry ? libraryEntry(op, a, b) : 0;
}

template <class T> UINT_PTR Address(T* pointer) {
    return reinterpret_cast<UINT_PTR>(pointer);
}

} // namespace

// Only the copy in the program's own folder is ours to load.
int LoadPhoneLibrary() {
    std::string folder = PhoneLibraryFolder();
    if (!folder.empty() && folder.size() + sizeof "\\TjIpSys.dll" <= MAX_PATH)
        libraryModule = LoadLibraryA((folder + "\\TjIpSys.dll").c_str());
    if (libraryModule)
        libraryEntry = reinterpret_cast<TjIpSysCallEntry>(
            reinterpret_cast<void*>(GetProcAddress(libraryModule, "TjIpSysCall")));
    if (libraryEntry)
        return 1;
    UnloadPhoneLibrary();
    return 0;
}

std::string PhoneLibraryFolder() {
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* slash = length && length < MAX_PATH ? std::strrchr(path, '\\') : nullptr;
    return slash ? std::string(path, static_cast<size_t>(slash - path)) : std::string();
}

void UnloadPhoneLibrary() {
    if (libraryModule)
        FreeLibrary(libraryModule);
    libraryModule = nullptr;
    libraryEntry = nullptr;
}

HMODULE PhoneLibraryModule() {
    return libraryModule;
}

int OpenDevice(DWORD* productId) {
    return Call(OpOpenDevice, Address(libraryModule), Address(productId));
}
int CloseDevice() {
    return Call(OpCloseDevice, 0, 0);
}
int RegisterTransfer(RegisterRequest* request) {
    return Call(OpRegisterTransfer, 0, Address(request));
}
int AttachWindow(HWND window) {
    return Call(OpAttachWindow, Address(window), 0);
}
int DetachWindow() {
    return Call(OpDetachWindow, 0, 0);
}
int DeviceChange(WPARAM wParam, LPARAM lParam) {
    return Call(OpDeviceChange, wParam, static_cast<UINT_PTR>(lParam));
}
int GetSerialNumber(char* buffer32) {
    return Call(OpGetSerialNumber, 32, Address(buffer32));
}
int SetDeviceName(const char* name) {
    return Call(OpSetDeviceName, 0, Address(name));
}
int OpenMixer(MixerOpenRecord* record) {
    return Call(OpOpenMixer, 0, Address(record));
}
int CloseMixer() {
    return Call(OpCloseMixer, 0, 0);
}
int GetMicVolume(DWORD* level) {
    return Call(OpGetMicVolume, 0, Address(level));
}
int SetMicVolume(DWORD level) {
    return Call(OpSetMicVolume, 0, level);
}
int GetSpeakerVolume(DWORD* level) {
    return Call(OpGetSpeakerVolume, 0, Address(level));
}
int SetSpeakerVolume(DWORD level) {
    return Call(OpSetSpeakerVolume, 0, level);
}
int GetMicMute(int* flag) {
    return Call(OpGetMicMute, 0, Address(flag));
}
int SetMicMute(int flag) {
    return Call(OpSetMicMute, static_cast<UINT_PTR>(flag), 0);
}
int GetSpeakerMute(int* flag) {
    return Call(OpGetSpeakerMute, 0, Address(flag));
}
int SetSpeakerMute(int flag) {
    return Call(OpSetSpeakerMute, static_cast<UINT_PTR>(flag), 0);
}
int MixerChange(WPARAM wParam, LPARAM lParam) {
    return Call(OpMixerChange, wParam, static_cast<UINT_PTR>(lParam));
}

#include "tests/common/ShellTray.h"

#include <commctrl.h>

#include "sim/control/ScreenPicture.h"
#include "tests/common/TestSupport.h"

namespace tray_test {

namespace {

constexpr const char* IconClass = "__winex11_tray_icon";
constexpr const char* StandaloneTrayClass = "__winex11_standalone_tray";

BOOL CALLBACK CollectIcon(HWND window, LPARAM list) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == IconClass)
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// Memory inside another process, for messages whose arguments are addresses there.
class RemoteBuffer {
  public:
    RemoteBuffer(DWORD pid, SIZE_T size)
        : process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid)) {
        if (process)
            base = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBuffer() {
        if (base)
            VirtualFreeEx(process, base, 0, MEM_RELEASE);
        if (process)
            CloseHandle(process);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    char* Address(size_t offset) const { return base + offset; }
    bool Write(size_t offset, const void* data, SIZE_T size) const {
        return base && WriteProcessMemory(process, base + offset, data, size, nullptr);
    }
    bool Read(size_t offset, void* data, SIZE_T size) const {
        return base && ReadProcessMemory(process, base + offset, data, size, nullptr);
    }

  private:
    HANDLE process;
    char* base = nullptr;
};

// The text of the tooltip's tool for iconWindow, or false when the tooltip has no such tool.
bool ReadToolText(HWND tooltip, HWND iconWindow, std::string& text) {
    DWORD pid = 0;
    GetWindowThreadProcessId(tooltip, &pid);
    constexpr size_t TextOffset = 1024;
    constexpr int TextChars = 512;
    RemoteBuffer remote(pid, TextOffset + TextChars * sizeof(WCHAR));
    int count = static_cast<int>(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        TTTOOLINFOW info = {};
        info.cbSize = sizeof info;
        if (!remote.Write(0, &info, sizeof info) ||
            !SendMessageW(tooltip, TTM_ENUMTOOLSW, index, reinterpret_cast<LPARAM>(remote.Address(0))) ||
            !remote.Read(0, &info, sizeof info) || info.hwnd != iconWindow)
            continue;
        WCHAR empty = 0;
        info.lpszText = reinterpret_cast<LPWSTR>(remote.Address(TextOffset));
        remote.Write(0, &info, sizeof info);
        remote.Write(TextOffset, &empty, sizeof empty);
        SendMessageW(tooltip, TTM_GETTEXTW, TextChars, reinterpret_cast<LPARAM>(remote.Address(0)));
        WCHAR wide[TextChars] = {};
        remote.Read(TextOffset, wide, sizeof wide - sizeof(WCHAR));
        char narrow[TextChars * 2] = "";
        WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
        text = narrow;
        return true;
    }
    return false;
}

DWORD ToRgb(COLORREF colour) {
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

// Copies `area` of the device context into top-down 32-bit pixels.
Pixels CopyPixels(HDC source, int x, int y, int width, int height) {
    Pixels result;
    if (width <= 0 || height <= 0)
        return result;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return result;
    HDC memory = CreateCompatibleDC(source);
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY)) {
        GdiFlush();
        result.width = width;
        result.height = height;
        const DWORD* words = static_cast<const DWORD*>(bits);
        result.rgb.assign(words, words + static_cast<size_t>(width) * height);
        for (DWORD& pixel : result.rgb)
            pixel &= 0xFFFFFF;
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    return result;
}

} // namespace

std::vector<HWND> TrayIconWindows() {
    std::vector<HWND> icons;
    // Docked icons are top-level windows; undocked ones live in the standalone tray.
    EnumWindows(CollectIcon, reinterpret_cast<LPARAM>(&icons));
    HWND tray = nullptr;
    while ((tray = FindWindowExA(nullptr, tray, StandaloneTrayClass, nullptr)) != nullptr)
        EnumChildWindows(tray, CollectIcon, reinterpret_cast<LPARAM>(&icons));
    return icons;
}

void DropDeadTrayIcons() {
    for (HWND icon : TrayIconWindows())
        SendMessageA(icon, WM_MOUSEMOVE, 0, 0);
}

std::string TrayTip(HWND iconWindow) {
    HWND tooltip = nullptr;
    std::string text;
    while ((tooltip = FindWindowExA(nullptr, tooltip, TOOLTIPS_CLASSA, nullptr)) != nullptr)
        if (ReadToolText(tooltip, iconWindow, text))
            return text;
    return "";
}

void PostTrayMouse(HWND iconWindow, UINT mouseMessage) {
    PostMessageA(iconWindow, mouseMessage, 0, 0);
}

Pixels CaptureScreen(const RECT& area) {
    HDC screen = GetDC(nullptr);
    Pixels pixels = CopyPixels(screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
    ReleaseDC(nullptr, screen);
    return pixels;
}

Pixels RenderSmallIcon(int iconId, DWORD background, HMODULE module) {
    int width = GetSystemMetrics(SM_CXSMICON);
    int height = GetSystemMetrics(SM_CYSMICON);
    HICON icon = static_cast<HICON>(LoadImageA(module ? module : GetModuleHandleA(nullptr),
                                               MAKEINTRESOURCEA(iconId), IMAGE_ICON, width, height, 0));
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, canvas);
    HBRUSH brush =
        CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
    RECT all = {0, 0, width, height};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    if (icon)
        DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    Pixels pixels = CopyPixels(memory, 0, 0, width, height);
    SelectObject(memory, old);
    DeleteObject(canvas);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (icon)
        DestroyIcon(icon);
    return pixels;
}

Pixels ShownTrayIcon(HWND iconWindow) {
    RECT rect;
    GetWindowRect(iconWindow, &rect);
    int width = GetSystemMetrics(SM_CXSMICON);
    int height = GetSystemMetrics(SM_CYSMICON);
    RECT icon;
    icon.left = rect.left + (rect.right - rect.left - width) / 2;
    icon.top = rect.top + (rect.bottom - rect.top - height) / 2;
    icon.right = icon.left + width;
    icon.bottom = icon.top + height;
    return CaptureScreen(icon);
}

int CountDifferences(const Pixels& shown, const Pixels& expected) {
    if (shown.width != expected.width || shown.height != expected.height)
        return shown.width * shown.height + expected.width * expected.height;
    int count = 0;
    for (size_t i = 0; i < shown.rgb.size(); ++i)
        count += shown.rgb[i] != expected.rgb[i];
    return count;
}

int CountColour(const Pixels& pixels, int top, int bottom, DWORD rgb) {
    int count = 0;
    for (int y = top; y < bottom && y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x)
            count += pixels.At(x, y) == rgb;
    return count;
}

std::string ScreenshotFolder() {
    std::string bin = test::BinDir();
    std::string folder = bin.substr(0, bin.find_last_of('\\')) + "\\screenshots";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool SaveScreenshot(HWND window, const std::string& name) {
    return SaveScreenPicture(window, ScreenshotFolder() + "\\" + name);
}

DWORD SystemRgb(int index) {
    return ToRgb(GetSysColor(index));
}

} // namespace tray_test

#include "tests/panel/Screenshot.h"

#include <vector>

#include "tests/common/TestSupport.h"

namespace panel_test {

std::string ScreenshotFolder() {
    std::string bin = test::BinDir();
    std::string folder = bin.substr(0, bin.find_last_of('\\')) + "\\screenshots";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool SaveWindowShot(HWND window, const std::string& path) {
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up, as a bitmap file stores its rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(memory, old);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    bool written = false;
    if (copied) {
        DWORD rowSize = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
        DWORD imageSize = rowSize * static_cast<DWORD>(height);
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42; // "BM"
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + imageSize;
        info.bmiHeader.biSizeImage = imageSize;
        HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            DWORD done = 0;
            written = WriteFile(out, &file, sizeof file, &done, nullptr) &&
                      WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &done, nullptr) &&
                      WriteFile(out, bits, imageSize, &done, nullptr) && done == imageSize;
            CloseHandle(out);
        }
    }
    if (bitmap)
        DeleteObject(bitmap);
    return written;
}

} // namespace panel_test

#include "sim/control/ScreenPicture.h"

#include <vector>

namespace {

// The screen's pixels in the rectangle, 32 bits each, rows top-down; empty when they cannot be read.
std::vector<DWORD> ReadScreen(const RECT& area, BITMAPINFOHEADER& header) {
    int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<DWORD> pixels;
    if (width <= 0 || height <= 0)
        return pixels;
    header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(width) * height * sizeof(DWORD);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    pixels.resize(static_cast<size_t>(width) * height);
    if (!copied || GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
                             DIB_RGB_COLORS) != height)
        pixels.clear();
    // The fourth byte is no colour: left as it comes, viewers take it for transparency.
    for (DWORD& pixel : pixels)
        pixel &= 0x00FFFFFF;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

} // namespace

bool SaveScreenPicture(HWND window, const std::string& path) {
    RECT rect;
    BITMAPINFOHEADER header;
    if (!GetWindowRect(window, &rect))
        return false;
    std::vector<DWORD> pixels = ReadScreen(rect, header);
    if (pixels.empty())
        return false;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    HANDLE out =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    bool written = WriteFile(out, &file, sizeof file, &done, nullptr) &&
                   WriteFile(out, &header, sizeof header, &done, nullptr) &&
                   WriteFile(out, pixels.data(), header.biSizeImage, &done, nullptr) &&
                   done == header.biSizeImage;
    CloseHandle(out);
    return written;
}

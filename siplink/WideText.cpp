#include "siplink/WideText.h"

#include <windows.h>

std::wstring WideFromUtf8(const std::string& text) {
    if (text.empty())
        return L"";
    UINT page = CP_UTF8;
    int size = static_cast<int>(text.size());
    int length = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length == 0) {
        page = CP_ACP;
        length = MultiByteToWideChar(page, 0, text.data(), size, nullptr, 0);
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(page, 0, text.data(), size, &wide[0], length);
    return wide;
}

std::string Utf8FromWide(const std::wstring& text) {
    if (text.empty())
        return "";
    int size = static_cast<int>(text.size());
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

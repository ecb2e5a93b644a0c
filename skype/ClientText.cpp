#include "skype/ClientText.h"

#include <algorithm>
#include <vector>

namespace {

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The text in UTF-16 read in `codePage`; false when it is not text of that code page.
bool ToWide(const std::string& text, UINT codePage, DWORD flags, std::vector<wchar_t>& wide) {
    int length = static_cast<int>(text.size());
    int count = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
    if (count <= 0)
        return false;
    wide.resize(static_cast<size_t>(count));
    return MultiByteToWideChar(codePage, flags, text.data(), length, wide.data(), count) == count;
}

std::string FromWide(const std::vector<wchar_t>& wide, UINT codePage) {
    int length = static_cast<int>(wide.size());
    int count = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (count <= 0)
        return "";
    std::string text(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), length, &text[0], count, nullptr, nullptr);
    return text;
}

// Both directions leave ASCII as it is, so the common text costs no conversion.
std::string Convert(const std::string& text, UINT from, DWORD fromFlags, UINT to) {
    if (IsAscii(text))
        return text;
    std::vector<wchar_t> wide;
    if (!ToWide(text, from, fromFlags, wide))
        return text;
    return FromWide(wide, to);
}

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

std::string ClientToProgramText(const std::string& utf8) {
    return Convert(utf8, CP_UTF8, MB_ERR_INVALID_CHARS, CP_ACP);
}

std::string ProgramToClientText(const std::string& ansi) {
    return Convert(ansi, CP_ACP, 0, CP_UTF8);
}

std::string CutToWidth(const std::string& text, size_t width, UINT codePage) {
    if (text.size() <= width)
        return text;
    if (codePage == CP_ACP)
        codePage = GetACP();
    size_t end = 0;
    if (codePage == CP_UTF8) {
        end = width;
        while (end > 0 && IsUtf8Continuation(text[end]))
            --end;
        return text.substr(0, end);
    }
    // A lead byte takes the byte after it along; only a walk from the start tells lead from trail.
    for (;;) {
        size_t next = end + (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[end])) ? 2 : 1);
        if (next > width)
            return text.substr(0, end);
        end = next;
    }
}

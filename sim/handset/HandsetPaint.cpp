#include "sim/handset/HandsetPaint.h"

#include <cstring>
#include <string>
#include <utility>

#include "sim/handset/HandsetFace.h"
#include "sim/handset/HandsetWindow.h"

namespace {

constexpr COLORREF Desk = RGB(210, 210, 205);
constexpr COLORREF Body = RGB(46, 50, 56);
constexpr COLORREF BodyText = RGB(230, 230, 230);
constexpr COLORREF DisplayDark = RGB(24, 36, 20);
constexpr COLORREF KeyFace = RGB(88, 94, 102);
constexpr COLORREF TalkFace = RGB(40, 150, 60);
constexpr COLORREF EndFace = RGB(190, 44, 44);

COLORREF FromRgb(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// Fonts are made once, on first use, and deleted when the window goes.
HFONT displayFont = nullptr;
HFONT statusFont = nullptr;
HFONT keyFont = nullptr;
HFONT smallFont = nullptr;
HBRUSH bodyBrush = nullptr;

HFONT MakeFont(int height, int weight, bool fixed) {
    return CreateFontA(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                       (fixed ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS),
                       fixed ? "Courier New" : "Arial");
}

void MakeFonts() {
    if (displayFont)
        return;
    displayFont = MakeFont(26, FW_BOLD, true);
    statusFont = MakeFont(12, FW_BOLD, true);
    keyFont = MakeFont(20, FW_BOLD, false);
    smallFont = MakeFont(11, FW_NORMAL, false);
    bodyBrush = CreateSolidBrush(Body);
}

std::string WindowText(HWND window) {
    char text[64] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool Lit(HWND window) {
    return GetWindowLongPtrA(window, GWLP_USERDATA) != 0;
}

void FillRounded(HDC dc, const RECT& rect, COLORREF colour, int radius) {
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    RoundRect(dc, rect.left, rect.top, rect.right + 1, rect.bottom + 1, radius, radius);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
}

// Each character in a cell of its own, so the row keeps its 12 places whatever the font.
void PaintDisplayRow(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    HBRUSH back = CreateSolidBrush(FromRgb(Lit(window) ? BacklightLitRgb : BacklightRgb));
    FillRect(dc, &client, back);
    DeleteObject(back);
    std::string text = WindowText(window);
    bool textRow = GetDlgCtrlID(window) == IDC_HANDSET_LINE;
    HGDIOBJ oldFont = SelectObject(dc, textRow ? displayFont : statusFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, DisplayDark);
    if (textRow) {
        int cell = (client.right - client.left) / HandsetDisplayWidth;
        int margin = (client.right - client.left - HandsetDisplayWidth * cell) / 2;
        for (size_t i = 0; i < text.size(); ++i) {
            RECT place = {margin + static_cast<int>(i) * cell, 0, margin + (static_cast<int>(i) + 1) * cell,
                          client.bottom};
            DrawTextA(dc, &text[i], 1, &place, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
    } else {
        RECT place = client;
        place.left += 6;
        DrawTextA(dc, text.c_str(), -1, &place, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
}

void PaintLight(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, bodyBrush);
    bool skype = GetDlgCtrlID(window) == IDC_HANDSET_SKYPE_LIGHT;
    COLORREF lamp = !Lit(window) ? FromRgb(LightOffRgb) : FromRgb(skype ? SkypeLightOnRgb : CallLightOnRgb);
    int middle = (client.right - client.left) / 2;
    HBRUSH brush = CreateSolidBrush(lamp);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Ellipse(dc, middle - 9, 2, middle + 9, 20);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
    RECT label = {0, 22, client.right, client.bottom};
    HGDIOBJ oldFont = SelectObject(dc, smallFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, BodyText);
    std::string text = WindowText(window);
    DrawTextA(dc, text.c_str(), -1, &label, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

LRESULT CALLBACK PartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        char className[32] = "";
        GetClassNameA(window, className, sizeof className);
        if (std::strcmp(className, LightClass) == 0)
            PaintLight(window, dc);
        else
            PaintDisplayRow(window, dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SETTEXT: { // the text is the picture
        LRESULT result = DefWindowProcA(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, FALSE);
        return result;
    }
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

const char* LettersOf(char key) {
    static const char* const letters[] = {"", "", "ABC", "DEF", "GHI", "JKL", "MNO", "PQRS", "TUV", "WXYZ"};
    return key >= '0' && key <= '9' ? letters[key - '0'] : "";
}

} // namespace

void RegisterHandsetClasses(const char* handsetClass, WNDPROC handsetProcedure) {
    MakeFonts();
    const std::pair<const char*, WNDPROC> classes[] = {
        {handsetClass, handsetProcedure}, {DisplayRowClass, PartProc}, {LightClass, PartProc}};
    for (const auto& [name, procedure] : classes) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = name;
        RegisterClassA(&windowClass);
    }
}

void PaintBody(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    HBRUSH desk = CreateSolidBrush(Desk);
    FillRect(dc, &client, desk);
    DeleteObject(desk);
    RECT body = {6, 6, client.right - 6, client.bottom - 6};
    FillRounded(dc, body, Body, 48);
    // The earpiece.
    int middle = client.right / 2;
    RECT earpiece = {middle - 30, 14, middle + 30, 20};
    FillRounded(dc, earpiece, RGB(20, 22, 25), 6);
    // The display's frame around its two rows.
    RECT frame = {20, 68, client.right - 20, 146};
    FillRounded(dc, frame, RGB(20, 22, 25), 10);
}

void DrawKey(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    FillRect(dc, &rect, bodyBrush);
    int id = static_cast<int>(item.CtlID);
    bool pressed = (item.itemState & ODS_SELECTED) != 0;
    COLORREF face = id == IDC_HANDSET_TALK ? TalkFace : id == IDC_HANDSET_END ? EndFace : KeyFace;
    if (pressed)
        face = RGB(GetRValue(face) / 2, GetGValue(face) / 2, GetBValue(face) / 2);
    FillRounded(dc, rect, face, 16);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    char text[16] = "";
    GetWindowTextA(item.hwndItem, text, sizeof text);
    const char* letters = LettersOf(text[0]);
    RECT top = rect;
    if (*letters)
        top.bottom -= 12;
    HGDIOBJ oldFont = SelectObject(dc, keyFont);
    DrawTextA(dc, text, -1, &top, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (*letters) {
        RECT bottom = {rect.left, rect.bottom - 18, rect.right, rect.bottom - 2};
        SelectObject(dc, smallFont);
        DrawTextA(dc, letters, -1, &bottom, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = rect;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
}

HBRUSH BodyControlColour(HDC dc) {
    SetTextColor(dc, BodyText);
    SetBkColor(dc, Body);
    return bodyBrush;
}

void DeletePaintObjects() {
    for (HFONT font : {displayFont, statusFont, keyFont, smallFont})
        if (font)
            DeleteObject(font);
    if (bodyBrush)
        DeleteObject(bodyBrush);
    displayFont = statusFont = keyFont = smallFont = nullptr;
    bodyBrush = nullptr;
}

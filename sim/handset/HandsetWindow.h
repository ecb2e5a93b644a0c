#pragma once
// The handset window (Handset.exe): the simulated base's handset drawn for a person. Tests find it by its
// title and press its keys by their ids.
#include <cstdint>

constexpr const char* HandsetWindowTitle = "DECT Handset";

enum HandsetWindowId : int {
    IDC_HANDSET_KEY_BASE =
        1000, // a key of the keypad: IDC_HANDSET_KEY_BASE + its character ('0'-'9', '*', '#')
    IDC_HANDSET_TALK = 1200,
    IDC_HANDSET_END,
    IDC_HANDSET_PLUGGED, // check box: "Base plugged in"
    IDC_HANDSET_STATUS,  // display's top row: "RINGING", "IN CALL", "NO BASE" or empty
    IDC_HANDSET_LINE,    // display's text row: 12 characters
    IDC_HANDSET_SKYPE_LIGHT,
    IDC_HANDSET_CALL_LIGHT,
};

// The colours of the lights as drawn, 0x00RRGGBB.
constexpr uint32_t SkypeLightOnRgb = 0x0000AFF0;
constexpr uint32_t CallLightOnRgb = 0x0028C83C;
constexpr uint32_t LightOffRgb = 0x00505050;
// The display's backlight; a ringing handset blinks between the two.
constexpr uint32_t BacklightRgb = 0x00A8C48C;
constexpr uint32_t BacklightLitRgb = 0x00D6F078;

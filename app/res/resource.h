#pragma once
// Resource ids: dialog templates, strings, menu, icons and bitmap.

#define IDD_MAIN 102
#define IDD_ABOUT 133
#define IDR_TRAY_MENU 130

#define IDI_TRAY_FOUND_ONLINE 131
#define IDI_TRAY_NOT_FOUND 132
#define IDI_STATE_OFF 152
#define IDI_STATE_ON 153
#define IDI_TRAY_FOUND_OFFLINE 154
#define IDI_APP 162
#define IDB_ABOUT 160

#define IDS_LIBRARY_MISSING 1
#define IDS_LIBRARY_WHERE 2
#define IDS_MODEL_NAME 24
#define IDS_NOT_FOUND 39
#define IDS_OPENING 40
#define IDS_MIXER_FAILED 46
#define IDS_OTHER_PROGRAM 49
#define IDS_TIP_FOUND_ONLINE 50
#define IDS_TIP_FOUND_OFFLINE 51
#define IDS_TIP_NOT_FOUND_ONLINE 52
#define IDS_TIP_NOT_FOUND_OFFLINE 53

#define IDC_DEVICE_INFO 1012
#define IDC_SERIAL_LABEL 1020
#define IDC_SERIAL_VALUE 1021
#define IDC_SPEAKER_LABEL 1041
#define IDC_SPEAKER_LEVEL 1042
#define IDC_SPEAKER_MUTE 1043
#define IDC_MIC_LABEL 1044
#define IDC_MIC_LEVEL 1045
#define IDC_MIC_MUTE 1046
#define IDC_SKYPE_STATUS 1055
#define IDC_ONLINE_ONLY 1056
#define IDC_COUNTRY_CODE 1059
#define IDC_EXIT_REQUEST 374
// The main window's default command, which Enter gives outside the Exit button; no control has this id.
#define IDC_NO_DEFAULT 1099
#define IDC_ICON_STATIC 0xFFFF

#define ID_TRAY_EXIT 32771
#define ID_TRAY_ABOUT 32773
#define ID_TRAY_UPDATE 32774

#ifndef RC_INVOKED
// Caption of the program's own message boxes.
constexpr const char* AppMessageCaption = "DectBridge";
#endif

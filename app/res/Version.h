#pragma once
// The names and numbers every program of DectBridge carries in its version resource, and that the setup
// shows. Plain macros, so that resource scripts, C++ and the setup script can all read them.

#define DECTBRIDGE_VERSION_MAJOR 1
#define DECTBRIDGE_VERSION_MINOR 2
#define DECTBRIDGE_VERSION_PATCH 0
#define DECTBRIDGE_VERSION_NUMBERS 1, 2, 0, 0
#define DECTBRIDGE_VERSION_TEXT "1.2.0"

#define DECTBRIDGE_PRODUCT "DectBridge"
#define DECTBRIDGE_COMPANY "DectBridge Project"
#define DECTBRIDGE_COPYRIGHT "Copyright (C) 2026 DectBridge Project"
// The About box's second line.
#define DECTBRIDGE_DESCRIPTION "DectBridge for Skype"

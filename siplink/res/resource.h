#pragma once
// SipLink's resources: the notification-area icons (the first is the program's own icon too).
#define IDI_SIPLINK_READY 101
#define IDI_SIPLINK_DOWN 102

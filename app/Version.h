#pragma once

constexpr const char* ProgramName = "DectBridge";
constexpr const char* ProgramVersion = "1.2";

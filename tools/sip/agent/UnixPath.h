#pragma once
#include <string>

// The Unix path Wine gives a Windows path; "" when not run by Wine.
std::string UnixPath(const std::string& windowsPath);

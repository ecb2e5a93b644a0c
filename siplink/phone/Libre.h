#pragma once
// libre's C headers for the phone's C++ (the defines they need come with CMake's target `libre`).
extern "C" {
#include <re.h>
}

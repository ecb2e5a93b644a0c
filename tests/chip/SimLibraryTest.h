#pragma once
// A test that talks to the simulated library in its own process, as the program does: the library is
// loaded from the test program's folder, and the simulation starts from a freshly plugged-in awake base.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "chip/PhoneLibrary.h"
#include "tests/common/TestSupport.h"
#include "sim/control/SimControl.h"

class SimLibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string library = test::BinDir() + "\\TjIpSys.dll";
        ASSERT_NE(GetFileAttributesA(library.c_str()), INVALID_FILE_ATTRIBUTES) << library << " is not built";
        SimReset();
        ASSERT_EQ(LoadPhoneLibrary(), 1) << "could not load " << library;
    }
    void TearDown() override { UnloadPhoneLibrary(); }
};

// Bytes as "AB 38 A9", so that a failure shows what differed.
inline std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[4];
    for (uint8_t byte : bytes) {
        wsprintfA(digits, text.empty() ? "%02X" : " %02X", byte);
        text += digits;
    }
    return text;
}

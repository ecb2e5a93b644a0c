// The calls list in the registry: what one run writes the next reads, and damaged stored lists are refused.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "support/CallListStore.h"

namespace {

constexpr const char* TestRoot = "Software\\DectBridgeTests";
constexpr const char* TestPath = "Software\\DectBridgeTests\\Calls";
constexpr size_t MaxEntries = 30;

using Lines = std::vector<std::string>;

class CallListStore : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot); }

    // A run of its own: a fresh key object over the test key.
    std::optional<StoredCalls> Load() {
        RegistryKey key(CreateKey);
        EXPECT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, KEY_QUERY_VALUE | KEY_SET_VALUE));
        return LoadCallList(key, MaxEntries);
    }
    void Save(const StoredCalls& calls) {
        RegistryKey key(CreateKey);
        ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, KEY_QUERY_VALUE | KEY_SET_VALUE));
        SaveCallList(key, calls);
    }
    void RawSet(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, TestPath, 0, nullptr, 0, KEY_SET_VALUE,
                                                 nullptr, &key, nullptr));
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    void RawSetNumber(const char* name, DWORD n) { RawSet(name, REG_DWORD, &n, sizeof n); }
    void RawSetText(const char* name, const std::string& text) {
        RawSet(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
};

TEST_F(CallListStore, WhatOneRunWritesTheNextReadsAndNothingStoredIsAnEmptyList) {
    std::optional<StoredCalls> none = Load();
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->lines.empty());
    EXPECT_EQ(none->unseenMissed, 0u);

    Lines lines = {"M\tbob\t", "D\t0049301234\t", "A\talice\tAlice Liddell"};
    Save({lines, 1});
    std::optional<StoredCalls> read = Load();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->lines, lines);
    EXPECT_EQ(read->unseenMissed, 1u);

    // A shorter list later: the entries beyond its count are not read again.
    Save({{"D\t42\t"}, 0});
    read = Load();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->lines, Lines{"D\t42\t"});
    EXPECT_EQ(read->unseenMissed, 0u);

    Lines full(MaxEntries, "M\t" + std::string(128, '9') + "\t" + std::string(64, 'n'));
    Save({full, 30});
    read = Load();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->lines, full);
}

TEST_F(CallListStore, ADamagedStoredListIsRefused) {
    auto check = [&](const char* what) {
        std::optional<StoredCalls> read = Load();
        EXPECT_FALSE(read.has_value()) << what;
        RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot);
    };
    RawSetText("Calls", "2");
    check("a count that is text");

    RawSetNumber("Calls", 31);
    for (int i = 1; i <= 31; ++i)
        RawSetText(("Call" + std::to_string(i)).c_str(), "D\t1\t");
    check("more entries than the list holds");

    RawSetNumber("Calls", 2);
    RawSetText("Call1", "D\t1\t");
    check("an entry missing");

    RawSetNumber("Calls", 1);
    RawSetNumber("Call1", 7);
    check("an entry that is not text");

    RawSetNumber("Calls", 1);
    RawSetText("Call1", "D\t1\t");
    RawSetText("MissedCalls", "1");
    check("a missed count that is text");
}

} // namespace

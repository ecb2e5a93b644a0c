// The registry settings store against the real registry, under a key of the tests' own that each test
// creates empty and removes afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/Registry.h"

namespace {

constexpr const char* TestRoot = "Software\\DectBridgeTests";
constexpr const char* TestPath = "Software\\DectBridgeTests\\Registry";
constexpr const char* OtherPath = "Software\\DectBridgeTests\\Other";
constexpr REGSAM ReadWrite = KEY_QUERY_VALUE | KEY_SET_VALUE;

bool RawKeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void RawSet(const char* path, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
    LONG result = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, result) << "writing " << name;
}

void RawSetText(const char* name, const std::string& text) {
    RawSet(TestPath, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void RawDelete(const char* name) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, TestPath, 0, KEY_SET_VALUE, &key));
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

// A value as the registry holds it; type 0 and no data when it is missing.
struct RawValue {
    DWORD type = 0;
    std::string data;
};

RawValue RawGet(const char* name) {
    RawValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, TestPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(&value.data[0]), &size);
        value.data.resize(size);
    }
    RegCloseKey(key);
    return value;
}

// The names of the test key's values, spelled as the registry keeps them.
std::vector<std::string> RawNames() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, TestPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return names;
    char name[16384];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
}

class Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot);
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, TestPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegCloseKey(key);
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot);
        EXPECT_FALSE(RawKeyExists(TestRoot)) << "the test key was not removed";
    }
};

TEST_F(Registry, NamesIgnoreCaseAndTheFirstSpellingIsWrittenBack) {
    RegistryKey key(CreateKey);
    ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, ReadWrite));
    RegistryValue& first = key.Value("countrycode");
    RegistryValue& second = key.Value("CountryCode");
    EXPECT_EQ(&first, &second);
    second.SetText("49");
    EXPECT_STREQ("49", first.Text());
    std::vector<std::string> names = RawNames();
    ASSERT_EQ(1u, names.size());
    EXPECT_EQ("countrycode", names[0]);
    EXPECT_EQ(std::string("49", 3), RawGet("CountryCode").data);
}

TEST_F(Registry, ReopeningTheSamePathKeepsTheCacheAnotherPathEmptiesIt) {
    RawSetText("Kept", "1");
    RegistryKey key;
    ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, KEY_QUERY_VALUE));
    ASSERT_STREQ("1", key.Value("Kept").Text());

    // Loading only adds and overwrites: a value gone from the registry stays in the cache.
    RawDelete("Kept");
    RawSetText("Added", "2");
    ASSERT_TRUE(key.Open("SOFTWARE\\DECTBRIDGETESTS\\REGISTRY", HKEY_CURRENT_USER, KEY_QUERY_VALUE));
    EXPECT_TRUE(key.Value("Kept").HasValue());
    EXPECT_STREQ("1", key.Value("Kept").Text());
    EXPECT_STREQ("2", key.Value("Added").Text());

    RawSet(OtherPath, "Elsewhere", REG_SZ, "3", 2);
    ASSERT_TRUE(key.Open(OtherPath, HKEY_CURRENT_USER, KEY_QUERY_VALUE));
    EXPECT_FALSE(key.Value("Kept").HasValue())
        << "text left from the other path: " << key.Value("Kept").Text();
    EXPECT_FALSE(key.Value("Added").HasValue());
    EXPECT_STREQ("3", key.Value("Elsewhere").Text());
}

TEST_F(Registry, ValuesMadeBeforeTheFirstOpenStayInTheCache) {
    RawSetText("Stored", "registry");
    RegistryKey key;
    key.Value("Early").SetText("cached"); // no key yet: the cache only
    key.Value("Stored");
    ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, KEY_QUERY_VALUE));
    EXPECT_TRUE(key.Value("Early").HasValue());
    EXPECT_STREQ("cached", key.Value("Early").Text());
    EXPECT_STREQ("registry", key.Value("Stored").Text());
    EXPECT_EQ(0u, RawGet("Early").type);
}

TEST_F(Registry, EachTypeReadsAsText) {
    DWORD all = 4294967295u;
    RawSet(TestPath, "Dword", REG_DWORD, &all, sizeof all);
    const BYTE binary[] = {0x31, 0x32, 0x00, 0x33};
    RawSet(TestPath, "Binary", REG_BINARY, binary, sizeof binary);
    RawSet(TestPath, "Multi", REG_MULTI_SZ, "a\0b\0", 5);
    RawSetText("Text", "0x10");
    RawSet(TestPath, "Expand", REG_EXPAND_SZ, "%TEMP%", 7);

    RegistryKey key;
    ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, KEY_QUERY_VALUE));
    RegistryValue& dword = key.Value("Dword");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), dword.Type());
    EXPECT_EQ(4294967295u, dword.Number());
    EXPECT_STREQ("4294967295", dword.Text());

    RegistryValue& bytes = key.Value("Binary");
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), bytes.Type());
    EXPECT_STREQ("12", bytes.Text());
    EXPECT_EQ(std::vector<BYTE>(binary, binary + 4), bytes.Bytes());

    RegistryValue& multi = key.Value("Multi");
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), multi.Type());
    EXPECT_STREQ("a", multi.Text());
    EXPECT_EQ(std::string("a\0b\0", 5), std::string(multi.Text(), 5));
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), multi.Strings());

    EXPECT_STREQ("0x10", key.Value("Text").Text());
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), key.Value("Text").Type());

    // Types the store does not know are not loaded.
    EXPECT_FALSE(key.Value("Expand").HasValue());
    EXPECT_EQ(0u, key.Value("Expand").Type());
    EXPECT_STREQ("", key.Value("Expand").Text());
}

TEST_F(Registry, SettersWriteThroughWithTheirTypes) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, ReadWrite));
    key.Value("Number").SetNumber(0x12345678);
    RawValue number = RawGet("Number");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), number.type);
    EXPECT_EQ(std::string("\x78\x56\x34\x12", 4), number.data);

    const BYTE binary[] = {1, 0, 2};
    key.Value("Bytes").SetBytes(binary, 3);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), RawGet("Bytes").type);
    EXPECT_EQ(std::string("\x01\x00\x02", 3), RawGet("Bytes").data);

    // Without the final second zero byte the last string is lost from the cache, not from the registry.
    RegistryValue& multi = key.Value("Multi");
    multi.SetStrings("one\0two\0", 8);
    EXPECT_EQ(std::vector<std::string>{"one"}, multi.Strings());
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), RawGet("Multi").type);
    EXPECT_EQ(0u, RawGet("Multi").data.find(std::string("one\0two", 7)));
    multi.SetStrings("one\0\0two\0\0", 10);
    EXPECT_EQ((std::vector<std::string>{"one", "", "two"}), multi.Strings());
    EXPECT_TRUE(multi.HasValue());
}

TEST_F(Registry, SetBytesOfSizeZeroChangesNothing) {
    RawSetText("Word", "x");
    RegistryKey key;
    ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, ReadWrite));
    const BYTE data[] = {7};
    key.Value("Word").SetBytes(data, 0);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), key.Value("Word").Type());
    EXPECT_STREQ("x", key.Value("Word").Text());
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), RawGet("Word").type);

    RegistryValue& fresh = key.Value("Fresh");
    fresh.SetBytes(data, 0);
    EXPECT_FALSE(fresh.HasValue());
    EXPECT_EQ(0u, fresh.Type());
    EXPECT_EQ(0u, RawGet("Fresh").type) << "a value was written";
}

TEST_F(Registry, KeyExistsCreatesNothing) {
    EXPECT_TRUE(KeyExists(TestPath, HKEY_CURRENT_USER));
    EXPECT_FALSE(KeyExists("Software\\DectBridgeTests\\Missing", HKEY_CURRENT_USER));
    EXPECT_FALSE(RawKeyExists("Software\\DectBridgeTests\\Missing"));
    EXPECT_FALSE(KeyExists(nullptr, HKEY_CURRENT_USER));
}

TEST_F(Registry, ValuesTooLargeToLoadReadEmpty) {
    std::string fits(2047, 'f');
    RawSetText("Fits", fits);
    RawSetText("TooLong", std::string(3000, 't'));
    std::vector<BYTE> bigBinary(2049, 'b');
    RawSet(TestPath, "TooBig", REG_BINARY, bigBinary.data(), static_cast<DWORD>(bigBinary.size()));
    std::string longestName(259, 'n');
    std::string tooLongName(260, 'm');
    RawSetText(longestName.c_str(), "short name");
    RawSetText(tooLongName.c_str(), "long name");

    RegistryKey key(CreateKey);
    ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, ReadWrite));
    EXPECT_EQ(fits, key.Value("Fits").Text());
    EXPECT_STREQ("short name", key.Value(longestName.c_str()).Text());
    for (const char* name : {"TooLong", "TooBig", tooLongName.c_str()}) {
        RegistryValue& value = key.Value(name);
        EXPECT_FALSE(value.HasValue()) << name;
        EXPECT_STREQ("", value.Text()) << name;
    }
    // A caller writing its default then overwrites the value it could not load.
    key.Value("TooLong").SetText("12");
    EXPECT_EQ(std::string("12", 3), RawGet("TooLong").data);
}

// Text stored without its terminator must not pick up the bytes of a value loaded before it. (Wine's
// enumeration terminates such text itself; Windows' does not promise to.)
TEST_F(Registry, TextStoredWithoutTerminatorEndsWithItsData) {
    RawSetText("A_Long", "zzzzzzzzzzzz");
    RawSetText("C_Long", "yyyyyyyyyyyy");
    RawSet(TestPath, "B_Short", REG_SZ, "abc", 3);
    DWORD two = 0x1234;
    RawSet(TestPath, "D_ShortDword", REG_DWORD, &two, 2);

    RegistryKey key;
    ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, KEY_QUERY_VALUE));
    EXPECT_STREQ("abc", key.Value("B_Short").Text());
    EXPECT_EQ(0x1234u, key.Value("D_ShortDword").Number());
}

// Choices for data that does not fit the 2,048-byte text buffer: the registry gets everything, the
// text form is cut (text and binary at 2,047 characters, multi-strings after the last whole string).
TEST_F(Registry, LongDataIsWrittenWholeAndItsTextIsCut) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, ReadWrite));
    std::string longText(3000, 'L');
    key.Value("Long").SetText(longText.c_str());
    EXPECT_EQ(longText + '\0', RawGet("Long").data);
    EXPECT_EQ(std::string(2047, 'L'), key.Value("Long").Text());

    std::vector<BYTE> longBytes(3000, 'B');
    key.Value("LongBytes").SetBytes(longBytes.data(), static_cast<DWORD>(longBytes.size()));
    EXPECT_EQ(std::string(2047, 'B'), key.Value("LongBytes").Text());

    std::string multi =
        std::string(1000, 'a') + '\0' + std::string(1000, 'b') + '\0' + std::string(100, 'c') + '\0' + '\0';
    RegistryValue& strings = key.Value("LongMulti");
    strings.SetStrings(multi.data(), static_cast<DWORD>(multi.size()));
    ASSERT_EQ(3u, strings.Strings().size());
    const char* joined = strings.Text();
    EXPECT_EQ(std::string(1000, 'a'), joined);
    EXPECT_EQ(std::string(1000, 'b'), joined + 1001);
    EXPECT_EQ('\0', joined[2002]) << "the list is not closed after the strings that fit";
}

TEST_F(Registry, CreateKeyCreatesOnlyWhenAsked) {
    const char* missing = "Software\\DectBridgeTests\\Created";
    RegistryKey plain;
    EXPECT_FALSE(plain.Open(missing, HKEY_CURRENT_USER, ReadWrite));
    EXPECT_FALSE(plain.IsOpen());
    EXPECT_FALSE(RawKeyExists(missing));

    RegistryKey creating(CreateKey);
    EXPECT_TRUE(creating.Open(missing, HKEY_CURRENT_USER, ReadWrite));
    EXPECT_TRUE(creating.IsOpen());
    EXPECT_TRUE(RawKeyExists(missing));
}

TEST_F(Registry, OpenPerAccessHoldsTheKeyClosedBetweenAccesses) {
    RawSetText("Before", "b");
    RegistryKey key(OpenPerAccess);
    ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, KEY_QUERY_VALUE));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_STREQ("b", key.Value("Before").Text());
    key.Value("Written").SetText("w");
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(std::string("w", 2), RawGet("Written").data);

    RegistryKey held;
    ASSERT_TRUE(held.Open(TestPath, HKEY_CURRENT_USER, ReadWrite));
    EXPECT_TRUE(held.IsOpen());
}

TEST_F(Registry, RefreshOnReadRereadsTheRegistry) {
    RawSetText("Live", "old");
    RegistryKey refreshing(RefreshOnRead);
    RegistryKey plain;
    ASSERT_TRUE(refreshing.Open(TestPath, HKEY_CURRENT_USER, KEY_QUERY_VALUE));
    ASSERT_TRUE(plain.Open(TestPath, HKEY_CURRENT_USER, KEY_QUERY_VALUE));
    RawSetText("Live", "new");
    EXPECT_STREQ("new", refreshing.Value("Live").Text());
    EXPECT_STREQ("old", plain.Value("Live").Text());

    RegistryKey perAccess(RefreshOnRead | OpenPerAccess);
    ASSERT_TRUE(perAccess.Open(TestPath, HKEY_CURRENT_USER, KEY_QUERY_VALUE));
    RawSetText("Live", "newer");
    EXPECT_STREQ("newer", perAccess.Value("Live").Text());
    EXPECT_FALSE(perAccess.IsOpen());
}

TEST_F(Registry, NoWriteBackChangesOnlyTheCache) {
    RawSetText("Stored", "registry");
    RegistryKey key(NoWriteBack);
    ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, ReadWrite));
    EXPECT_STREQ("registry", key.Value("Stored").Text());
    key.Value("Stored").SetText("cache");
    key.Value("New").SetNumber(5);
    EXPECT_STREQ("cache", key.Value("Stored").Text());
    EXPECT_EQ(std::string("registry", 9), RawGet("Stored").data);
    EXPECT_EQ(0u, RawGet("New").type);
}

TEST_F(Registry, WritesAfterCloseStayInTheCache) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(TestPath, HKEY_CURRENT_USER, ReadWrite));
    key.Close();
    key.Value("Late").SetText("cached");
    EXPECT_STREQ("cached", key.Value("Late").Text());
    EXPECT_TRUE(key.Value("Late").HasValue());
    EXPECT_EQ(0u, RawGet("Late").type);
}

} // namespace

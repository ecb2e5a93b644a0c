// The value conversions at their limits: the 2,048-byte text buffer with double-byte text, multi-strings
// that do not fit, DWORD data shorter than four bytes, and the sizes loading takes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/RegistryData.h"

namespace {

// Lead bytes as in code page 932.
bool ShiftJisLead(uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool NoLead(uint8_t) {
    return false;
}

std::string Cut(const std::string& source, LeadBytePredicate isLead) {
    std::vector<char> buffer(RegistryTextBufferSize, 'X');
    CopyCut(buffer.data(), buffer.size(), source.data(), source.size(), isLead);
    return buffer.data();
}

} // namespace

TEST(RegistryData, TextIsCutToTheBufferWithoutSplittingACharacter) {
    std::string fits(RegistryTextBufferSize - 1, 'a');
    EXPECT_EQ(fits, Cut(fits, NoLead));
    EXPECT_EQ(fits, Cut(fits + "b", NoLead));
    // A double-byte character whose second byte would be the buffer's last goes as a whole.
    std::string straddling = std::string(RegistryTextBufferSize - 2, 'a') + "\x88\xa0";
    EXPECT_EQ(std::string(RegistryTextBufferSize - 2, 'a'), Cut(straddling, ShiftJisLead));
    std::string pairs;
    while (pairs.size() < RegistryTextBufferSize + 2)
        pairs += "\x88\xa0";
    std::string cut = Cut(pairs, ShiftJisLead);
    EXPECT_EQ(RegistryTextBufferSize - 2, cut.size());
    EXPECT_EQ(pairs.substr(0, cut.size()), cut);
}

TEST(RegistryData, EachTypeFormatsWithinTheBuffer) {
    std::vector<char> buffer(RegistryTextBufferSize, 'X');
    RegistryData binary;
    binary.type = RegistryBinaryType;
    binary.bytes.assign(RegistryTextBufferSize + 10, '7');
    FormatRegistryText(binary, buffer.data(), NoLead);
    EXPECT_EQ(std::string(RegistryTextBufferSize - 1, '7'), buffer.data());

    RegistryData number;
    number.type = RegistryNumberType;
    number.number = 4294967295u;
    FormatRegistryText(number, buffer.data(), NoLead);
    EXPECT_STREQ("4294967295", buffer.data());

    // Whole strings only: the second would leave no room for the closing zero byte.
    RegistryData multi;
    multi.type = RegistryMultiStringType;
    multi.strings = {std::string(1000, 'a'), std::string(1046, 'b'), "c"};
    FormatRegistryText(multi, buffer.data(), NoLead);
    EXPECT_EQ(std::string(1000, 'a'), buffer.data());
    EXPECT_EQ('\0', buffer[1001]);
    multi.strings[1].pop_back();
    FormatRegistryText(multi, buffer.data(), NoLead);
    EXPECT_EQ(std::string(1045, 'b'), std::string(buffer.data() + 1001));
    EXPECT_EQ('\0', buffer[RegistryTextBufferSize - 1]);

    RegistryData text;
    text.type = RegistryTextType;
    std::strcpy(buffer.data(), "kept");
    FormatRegistryText(text, buffer.data(), NoLead);
    EXPECT_STREQ("kept", buffer.data()) << "a text value is its buffer";
}

TEST(RegistryData, MultiStringsSplitOnlyWhatIsClosed) {
    using Strings = std::vector<std::string>;
    EXPECT_EQ((Strings{"a", "b"}), SplitMultiString("a\0b\0\0", 5));
    EXPECT_EQ((Strings{"one", "", "two"}), SplitMultiString("one\0\0two\0\0", 10));
    EXPECT_EQ(Strings{"a"}, SplitMultiString("a\0bc", 4)) << "the last string has no end of its own";
    EXPECT_EQ(Strings{}, SplitMultiString("a\0", 2));
    EXPECT_EQ(Strings{}, SplitMultiString(nullptr, 8));
}

TEST(RegistryData, ShortNumbersArePaddedAndLimitsHold) {
    const uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0x05};
    EXPECT_EQ(0u, NumberFromData(data, 0));
    EXPECT_EQ(0x0201u, NumberFromData(data, 2));
    EXPECT_EQ(0x04030201u, NumberFromData(data, 5));
    EXPECT_TRUE(FitsLoadBuffers(RegistryNameBufferSize - 1, RegistryDataBufferSize));
    EXPECT_FALSE(FitsLoadBuffers(RegistryNameBufferSize, 4));
    EXPECT_FALSE(FitsLoadBuffers(4, RegistryDataBufferSize + 1));
}

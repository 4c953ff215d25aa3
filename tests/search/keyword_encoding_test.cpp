#include "search/keyword_encoding.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace quivra {
namespace {

TEST(KeywordEncodingTest, BlanksAndChineseBecomePercentGroupsOfTheirUtf8Bytes) {
    EXPECT_EQ(encodeKeyword(""), "");
    EXPECT_EQ(encodeKeyword("a b"), "a%20b");
    EXPECT_EQ(encodeKeyword("  "), "%20%20");
    // One group per UTF-8 byte, upper-case digits: 练 E7 BB 83, 习 E4 B9 A0.
    EXPECT_EQ(encodeKeyword("练习"), "%E7%BB%83%E4%B9%A0");
    EXPECT_EQ(encodeKeyword("Qt 6.5 练习-v2"), "Qt%206.5%20%E7%BB%83%E4%B9%A0-v2");
    // Full-width symbols are Chinese text too: （ EF BC 88.
    EXPECT_EQ(encodeKeyword("（"), "%EF%BC%88");
}

TEST(KeywordEncodingTest, OnlyLettersDigitsHyphenAndDotStayAsTheyAre) {
    for (int byte = 1; byte < 0x80; ++byte) {
        const std::string text(1, static_cast<char>(byte));
        const bool kept = std::isalnum(byte) || byte == '-' || byte == '.';
        char group[4];
        std::snprintf(group, sizeof group, "%%%02X", byte);
        EXPECT_EQ(encodeKeyword(text), kept ? text : std::string(group)) << "byte " << byte;
    }
    // Bytes below 16 get a leading zero; the neighbours of the kept ranges are encoded.
    EXPECT_EQ(encodeKeyword("\t/@[`{_~+&="), "%09%2F%40%5B%60%7B%5F%7E%2B%26%3D");
}

}  // namespace
}  // namespace quivra

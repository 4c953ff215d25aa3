#include "net/text_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quivra {
namespace {

TEST(Base64Encode, PadsToFourCharacterGroups) {
    EXPECT_EQ(base64Encode(""), "");
    EXPECT_EQ(base64Encode("M"), "TQ==");
    EXPECT_EQ(base64Encode("Ma"), "TWE=");
    EXPECT_EQ(base64Encode("Man"), "TWFu");
    EXPECT_EQ(base64Encode("Many"), "TWFueQ==");
    EXPECT_EQ(base64Encode("user:pass"), "dXNlcjpwYXNz");
}

TEST(Base64Encode, UsesTheFullAlphabetAndHighBytes) {
    EXPECT_EQ(base64Encode(std::string("\xFB\xFF\xBF", 3)), "+/+/");
    EXPECT_EQ(base64Encode(std::string("\0\0\0", 3)), "AAAA");
    EXPECT_EQ(base64Encode(std::string("\xD6\xD0", 2)), "1tA=");
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    std::string encoded = base64Encode(all);
    EXPECT_EQ(encoded.size(), 344u);
    EXPECT_EQ(encoded.substr(0, 8), "AAECAwQF");
    EXPECT_EQ(encoded.substr(encoded.size() - 8), "/P3+/w==");
}

TEST(SplitCharacters, KeepsGbkPairsAndLineBreaksTogether) {
    std::vector<std::string> parts = {"stale"};
    EXPECT_EQ(splitCharacters("", parts), 0);
    EXPECT_TRUE(parts.empty());

    // Two Chinese characters, CR LF, x.
    EXPECT_EQ(splitCharacters("\xD6\xD0\xCE\xC4\r\nx", parts), 4);
    EXPECT_EQ(parts, (std::vector<std::string>{"\xD6\xD0", "\xCE\xC4", "\r\n", "x"}));

    // A trail byte in the ASCII range belongs to its lead byte.
    EXPECT_EQ(splitCharacters("\x81\x40"
                              "a",
                              parts),
              2);
    EXPECT_EQ(parts, (std::vector<std::string>{"\x81\x40", "a"}));
}

TEST(SplitCharacters, LoneBytesAreCharactersOfTheirOwn) {
    std::vector<std::string> parts;
    EXPECT_EQ(splitCharacters("a\rb\nc\n\r", parts), 7);
    EXPECT_EQ(parts, (std::vector<std::string>{"a", "\r", "b", "\n", "c", "\n", "\r"}));
    // A lead byte at the end stands alone.
    EXPECT_EQ(splitCharacters("ab\xD6", parts), 3);
    EXPECT_EQ(parts.back(), "\xD6");
    // 0x80 is not a lead byte.
    EXPECT_EQ(splitCharacters("\x80"
                              "a",
                              parts),
              2);
}

TEST(TrimBlanks, TrimsSpacesOnly) {
    EXPECT_EQ(trimBlanks("  a b  "), "a b");
    EXPECT_EQ(trimBlanks("    "), "");
    EXPECT_EQ(trimBlanks(""), "");
    EXPECT_EQ(trimBlanks("\ta\t"), "\ta\t");
}

TEST(FindLocal, NeverStartsOnATrailByte) {
    // "\xB0\x61" is one GBK character whose trail byte is 'a'; "av" must not match there.
    std::string text =
        "\xB0"
        "av1";
    EXPECT_EQ(findLocal(text, "av"), std::string::npos);
    EXPECT_EQ(findLocal(text + " av2", "av"), 5u);
    // The walk of characters starts at the text's beginning, not at `from`.
    std::string two =
        "\xB0\xB0"
        "BV";
    EXPECT_EQ(findLocal(two, "BV"), 2u);
    EXPECT_EQ(findLocal("\xB0"
                        "BBV",
                        "BV", 1),
              2u);
    EXPECT_EQ(findLocal("\xB0"
                        "B"
                        "V"
                        "BV",
                        "BV"),
              3u);
}

TEST(FindLocal, BehavesLikeFindOnPlainText) {
    EXPECT_EQ(findLocal("abcabc", "bc"), 1u);
    EXPECT_EQ(findLocal("abcabc", "bc", 2), 4u);
    EXPECT_EQ(findLocal("abc", "x"), std::string::npos);
    EXPECT_EQ(findLocal("abc", ""), 0u);
    EXPECT_EQ(findLocal("abc", "", 3), 3u);
    EXPECT_EQ(findLocal("abc", "a", 4), std::string::npos);
    EXPECT_EQ(findLocal("ab", "abc"), std::string::npos);
}

}  // namespace
}  // namespace quivra

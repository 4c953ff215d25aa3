#include "net/text_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace quivra {
namespace {

// "中文" and "下载" in GBK.
const std::string kZhongWen = "\xD6\xD0\xCE\xC4";
const std::string kXiaZai = "\xCF\xC2\xD4\xD8";

TEST(Utf8ToLocalText, ConvertsAsciiAndChineseToGbk) {
    EXPECT_EQ(utf8ToLocalText(""), "");
    EXPECT_EQ(utf8ToLocalText("plain ASCII 123"), "plain ASCII 123");
    EXPECT_EQ(utf8ToLocalText("中文"), kZhongWen);
    EXPECT_EQ(utf8ToLocalText("x下载y"), "x" + kXiaZai + "y");
    EXPECT_EQ(localText("下载"), kXiaZai);
    EXPECT_EQ(localText(nullptr), "");
}

// A long download list keeps hundreds of thousands of converted texts: each holds no more
// than its size (the conversion's buffer is sixteen times the text).
TEST(Utf8ToLocalText, ConvertedTextHoldsItsSizeOnly) {
    const std::string title(200, 'a');
    EXPECT_LT(utf8ToLocalText(title).capacity(), 2 * title.size());
    EXPECT_LT(localToUtf8(title).capacity(), 2 * title.size());
}

TEST(Utf8ToLocalText, EndsAtFirstZeroCharacter) {
    EXPECT_EQ(utf8ToLocalText(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(utf8ToLocalText(std::string("\0abc", 4)), "");
}

TEST(Utf8ToLocalText, CharacterMissingFromGbkBecomesQuestionMark) {
    // U+1F600 (an emoji) and U+AC00 (a Hangul syllable) have no GBK form.
    EXPECT_EQ(utf8ToLocalText("a\xF0\x9F\x98\x80"
                              "b"),
              "a?b");
    EXPECT_EQ(utf8ToLocalText("\xEA\xB0\x80中"), "?" + utf8ToLocalText("中"));
}

TEST(Utf8ToLocalText, InvalidUtf8BecomesQuestionMarks) {
    EXPECT_EQ(utf8ToLocalText("a\xFF"
                              "b"),
              "a?b");  // never valid
    EXPECT_EQ(utf8ToLocalText("a\x80"
                              "b"),
              "a?b");                               // stray continuation
    EXPECT_EQ(utf8ToLocalText("a\xE4\xB8"), "a?");  // cut off at the end
    EXPECT_EQ(utf8ToLocalText("\xE4\xB8"
                              "A中"),
              "?A" + utf8ToLocalText("中"));
    EXPECT_EQ(utf8ToLocalText("\xC0\xAF"), "??");     // overlong '/'
    EXPECT_EQ(utf8ToLocalText("\xE0\x80\xAF"), "?");  // overlong, three bytes
    EXPECT_EQ(utf8ToLocalText("\xED\xA0\x80"
                              "x"),
              "?x");                                      // encoded surrogate
    EXPECT_EQ(utf8ToLocalText("\xF4\x90\x80\x80"), "?");  // above U+10FFFF
}

TEST(LocalToUtf8, RoundTripsGbkText) {
    std::string local = "BV1xx " + kZhongWen + "\r\n" + kXiaZai;
    EXPECT_EQ(localToUtf8(local), "BV1xx 中文\r\n下载");
    EXPECT_EQ(utf8ToLocalText(localToUtf8(local)), local);
    EXPECT_EQ(localToUtf8(""), "");
}

TEST(LocalToUtf8, BrokenGbkBecomesQuestionMark) {
    EXPECT_EQ(localToUtf8("ab\xD6"), "ab?");  // lead byte without its trail byte
    EXPECT_EQ(localToUtf8("\xFF"
                          "a"),
              "?a");
}

TEST(LocalToUtf16, RoundTripsAndHandlesLoneSurrogates) {
    EXPECT_EQ(localToUtf16("a" + kZhongWen), u"a中文");
    EXPECT_EQ(utf16ToLocal(u"a中文"), "a" + kZhongWen);
    EXPECT_EQ(utf16ToLocal(std::u16string(u"\xD800x")), "?x");
    EXPECT_EQ(utf16ToLocal(std::u16string(u"x\xDC00")), "x?");
    EXPECT_EQ(utf16ToLocal(u"\U0001F600"), "?");  // a valid pair GBK lacks
    EXPECT_EQ(localToUtf16(""), u"");
}

TEST(TextEncoding, ThreadsConvertAtTheSameTime) {
    std::string utf8;
    for (int i = 0; i < 200; ++i) utf8 += "视频下载器 part " + std::to_string(i) + "\n";
    const std::string expected = utf8ToLocalText(utf8);
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (utf8ToLocalText(utf8) != expected || localToUtf8(expected) != utf8)
                    ++failures[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
}  // namespace quivra

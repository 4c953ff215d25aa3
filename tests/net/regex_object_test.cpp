#include <gtest/gtest.h>

#include <string>

#include "net/regex_object.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

const std::string kTitlePattern = "[^0-9a-z\\u4e00-\\u9fa5]";

std::string allMatches(const RegexObject& regex) {
    std::string joined;
    for (int i = 1; i <= regex.matchCount(); ++i) joined += regex.matchText(i);
    return joined;
}

TEST(RegexObjectTitle, KeepsDigitsLettersAndIdeographs) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute(kTitlePattern, localText("Abc123中文标题Z")));
    EXPECT_EQ(regex.matchCount(), 0);  // upper case is not matched: case is ignored

    ASSERT_TRUE(regex.execute(kTitlePattern, localText("第1集 a/b?c【高清】")));
    EXPECT_EQ(allMatches(regex), localText(" /?【】"));

    ASSERT_TRUE(regex.execute(kTitlePattern, "ABC", true));
    EXPECT_EQ(allMatches(regex), "ABC");  // case-sensitive: upper case is foreign

    ASSERT_TRUE(regex.execute(kTitlePattern, ""));
    EXPECT_EQ(regex.matchCount(), 0);
}

TEST(RegexObjectTitle, BytePositionsInLocalText) {
    RegexObject regex;
    const std::string subject = localText("中文 ab 名");
    ASSERT_TRUE(regex.execute(kTitlePattern, subject));
    ASSERT_EQ(regex.matchCount(), 2);
    int position = -7;
    EXPECT_EQ(regex.matchText(1, &position), " ");
    EXPECT_EQ(position, 4);  // two double-byte characters before it; character index 2
    EXPECT_EQ(regex.matchText(2, &position), " ");
    EXPECT_EQ(position, 7);
    EXPECT_EQ(subject.substr(7, 1), " ");

    // The search from the character index (1) starts on a trail byte that reads as "b";
    // it must not be taken for the match.
    ASSERT_TRUE(regex.execute("b",
                              "\x81\x62"
                              "b"));
    EXPECT_EQ(regex.matchText(1, &position), "b");
    EXPECT_EQ(position, 2);
}

TEST(RegexObjectMatch, InvalidPatternAndIndexes) {
    RegexObject regex;
    EXPECT_FALSE(regex.execute("a(b", "ab"));
    EXPECT_EQ(regex.matchCount(), 0);
    EXPECT_EQ(regex.pattern(), "a(b");
    EXPECT_EQ(regex.replace("x"), "");
    EXPECT_FALSE(regex.execute("[z-a]", "ab"));

    RegexObject fresh;
    EXPECT_EQ(fresh.pattern(), "");
    EXPECT_EQ(fresh.matchText(1), "");
    EXPECT_EQ(fresh.subMatchCount(), 0);

    ASSERT_TRUE(regex.execute("(a)(x)?", "aa"));
    int position = 123;
    EXPECT_EQ(regex.matchText(0, &position), "");
    EXPECT_EQ(regex.matchText(3), "");
    EXPECT_EQ(position, 123);
    EXPECT_EQ(regex.subMatchCount(), 2);
    EXPECT_EQ(regex.subMatchText(2, 1, &position), "a");
    EXPECT_EQ(position, 1);
    EXPECT_EQ(regex.subMatchText(1, 2), "");  // an unset group is empty
    EXPECT_EQ(regex.subMatchText(1, 3), "");
}

TEST(RegexObjectMatch, OptionsAndDialect) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("^\\w+$", "one\ntwo"));
    EXPECT_EQ(regex.matchCount(), 2);  // multi-line by default
    ASSERT_TRUE(regex.execute("^\\w+$", "one\ntwo", false, false));
    EXPECT_EQ(regex.matchCount(), 0);
    ASSERT_TRUE(regex.execute("^\\w+$", "one\n", false, false));
    EXPECT_EQ(regex.matchCount(), 0);  // "$" is the very end only
    ASSERT_TRUE(regex.execute("o", "foo", false, true, false));
    EXPECT_EQ(regex.matchCount(), 1);  // not global
    ASSERT_TRUE(regex.execute("a.b", "a\nb"));
    EXPECT_EQ(regex.matchCount(), 0);  // "." does not cross a line break
    ASSERT_TRUE(regex.execute("\\u0041\\x42", "xab"));
    EXPECT_EQ(regex.matchText(1), "ab");
    ASSERT_TRUE(
        regex.execute(localText("#引号(\\w+)#引号"), "say \"hi\"", false, true, true, true));
    EXPECT_EQ(regex.pattern(), "\"(\\w+)\"");
    EXPECT_EQ(regex.subMatchText(1, 1), "hi");
    ASSERT_TRUE(regex.execute("(a)|\\1b", "b"));  // an unset back reference matches empty
    EXPECT_EQ(regex.matchText(1), "b");
    ASSERT_TRUE(regex.execute("x*", "ab"));
    EXPECT_EQ(regex.matchCount(), 3);  // empty matches move on by one character
}

TEST(RegexObjectMatch, UndecodableSubjectDoesNotCrash) {
    RegexObject regex;
    const std::string broken = "ab\x81\xff\x80" + std::string("\xfe", 1) + "cd";
    ASSERT_TRUE(regex.execute("[a-z]+", broken));
    EXPECT_EQ(allMatches(regex), "abcd");
    ASSERT_TRUE(regex.execute(kTitlePattern, broken));
    EXPECT_GE(regex.matchCount(), 1);
}

TEST(RegexObjectReplace, ReplacementForms) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("(\\w+)@(\\w+)", "mail a@b and c@d"));
    EXPECT_EQ(regex.replace("$2 at $1"), "mail b at a and d at c");
    EXPECT_EQ(regex.replace("[$&]$$"), "mail [a@b]$ and [c@d]$");
    EXPECT_EQ(regex.replace("$0$3$"), "mail $0$3$ and $0$3$");
    EXPECT_EQ(regex.replace("<$`>"), "mail <mail > and <mail a@b and >");

    ASSERT_TRUE(regex.execute("o", "foo boo", false, true, false));
    EXPECT_EQ(regex.replace("0"), "f0o boo");

    ASSERT_TRUE(regex.execute(kTitlePattern, localText("标题: 第1集/完")));
    EXPECT_EQ(regex.replace("_"), localText("标题__第1集_完"));
    EXPECT_EQ(regex.replace(""), localText("标题第1集完"));

    RegexObject copy = regex;
    ASSERT_TRUE(regex.execute("x", "x"));
    EXPECT_EQ(copy.matchCount(), 3);  // a copy keeps the collection it was made with
}

}  // namespace
}  // namespace quivra

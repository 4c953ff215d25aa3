#include "net/cookies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quivra {
namespace {

std::string merge(std::string oldList, std::string newList) {
    return mergeCookieStrings(oldList, newList);
}

TEST(MergeCookieStrings, NewEntriesWinAndOldOnesFollow) {
    EXPECT_EQ(merge("a=1; b=2", "b=3; c=4"), "b=3; c=4; a=1");
    EXPECT_EQ(merge("SID=1", "sid=2"), "sid=2; SID=1");  // names are case-sensitive
    EXPECT_EQ(merge("", ""), "");
    EXPECT_EQ(merge("a=1", ""), "a=1");
    EXPECT_EQ(merge("", "a=1"), "a=1");
}

TEST(MergeCookieStrings, DeletionMarksDropBothEntries) {
    EXPECT_EQ(merge("a=1; b=2", "b=deleted"), "a=1");
    EXPECT_EQ(merge("b=2", "b=deleted"), "");
    EXPECT_EQ(merge("x=deleted; y=1", ""), "y=1");
}

TEST(MergeCookieStrings, TrailingSemicolonAndSpacesMakeNoEmptyEntry) {
    EXPECT_EQ(merge("", "x=1; y=2;"), "x=1; y=2");
    EXPECT_EQ(merge("  a=1;  ", "  b=2 "), "b=2; a=1");
}

TEST(MergeCookieStrings, DuplicateOldNamesKeepTheFirst) {
    EXPECT_EQ(merge("a=1; a=1", ""), "a=1");
    EXPECT_EQ(merge("a=1; a=2", ""), "a=1");
    EXPECT_EQ(merge("a=1; a=2", "a=3; a=3"), "a=3");
}

TEST(MergeCookieStrings, SemicolonWithoutSpaceDoesNotSplit) {
    EXPECT_EQ(merge("a=1;b=2", "b=3"), "b=3; a=1;b=2");
    EXPECT_EQ(merge("a=1;b=2", "a=9"), "a=9");
}

TEST(MergeCookieStrings, WritesBothCallerVariables) {
    std::string oldList = " a=1; b=2 ";
    std::string newList = " c=3; ";
    std::string result = mergeCookieStrings(oldList, newList);
    EXPECT_EQ(result, "c=3; a=1; b=2");
    EXPECT_EQ(oldList, result);
    EXPECT_EQ(newList, "c=3; ");
}

TEST(CookieName, TrimsAndCutsAtFirstEquals) {
    EXPECT_EQ(cookieName(" SESSDATA =a=b"), "SESSDATA");
    EXPECT_EQ(cookieName("  flag  "), "flag");
    EXPECT_EQ(cookieName("=v"), "");
    EXPECT_TRUE(hasCookieNamed({"a=1", " b =2"}, "b"));
    EXPECT_FALSE(hasCookieNamed({"a=1", "B=2"}, "b"));
    EXPECT_FALSE(hasCookieNamed({}, ""));
}

TEST(RemoveDuplicateParts, BySeparator) {
    EXPECT_EQ(removeDuplicateParts("a; b; a; c; b", "; "), "a; b; c");
    EXPECT_EQ(removeDuplicateParts("", "; "), "");
    EXPECT_EQ(removeDuplicateParts("A,a,A", ","), "A,a");
    EXPECT_EQ(removeDuplicateParts(",x,,x", ","), ",x");  // empty parts count as parts
}

TEST(RemoveDuplicateParts, ByCharacterKeepsGbkCharactersWhole) {
    EXPECT_EQ(removeDuplicateParts("abcab", "", DuplicateMode::ByCharacter), "abc");
    EXPECT_EQ(removeDuplicateParts("aab", "-", DuplicateMode::ByCharacter), "a-b");
    // "\xB0\x61" is one character whose trail byte is 'a': it is not a duplicate of "a".
    EXPECT_EQ(removeDuplicateParts("a\xB0"
                                   "a\xB0"
                                   "aa",
                                   "", DuplicateMode::ByCharacter),
              "a\xB0"
              "a");
    EXPECT_EQ(removeDuplicateParts("\r\n\r\n\n", "", DuplicateMode::ByCharacter), "\r\n\n");
}

TEST(TidyPastedCookie, LineBreaksAndBlanksAroundPairsGo) {
    const std::pair<const char*, const char*> cases[] = {
        {"a=1;\n b=2\n", "a=1; b=2"},
        {"\r\n\tSESSDATA=x \r\n", "SESSDATA=x"},
        {"a=1\r\nb=2", "a=1; b=2"},  // a line break separates pairs as ";" does
        {"a=1;; ;b=2;", "a=1; b=2"},
        {"a = 1", "a = 1"},  // blanks inside a pair stay
        {" \n ", ""},
    };
    for (const auto& [pasted, tidy] : cases) EXPECT_EQ(tidyPastedCookie(pasted), tidy) << pasted;
}

TEST(FitCookieList, LongestPairsGoFirstButNeverTheLogin) {
    struct Case {
        std::string list;
        size_t maxBytes;
        std::string fitted;
    };
    const std::string longLogin = "SESSDATA=" + std::string(30, 's');
    const Case cases[] = {
        {"a=1; b=2", 8, "a=1; b=2"},
        {"a=1; bb=22; c=3", 10, "a=1; c=3"},
        {"SESSDATA=abcdefgh; a=1", 12, "SESSDATA=abcdefgh"},
        {"a=1; " + longLogin + "; b=2", 10, longLogin},
    };
    for (const Case& c : cases) EXPECT_EQ(fitCookieList(c.list, c.maxBytes), c.fitted) << c.list;
}

TEST(IndexOfText, OneBasedOrMinusOne) {
    std::vector<std::string> texts = {"x", "y", "x"};
    EXPECT_EQ(indexOfText(texts, "x"), 1);
    EXPECT_EQ(indexOfText(texts, "y"), 2);
    EXPECT_EQ(indexOfText(texts, "X"), -1);
    EXPECT_EQ(indexOfText({}, ""), -1);
}

}  // namespace
}  // namespace quivra

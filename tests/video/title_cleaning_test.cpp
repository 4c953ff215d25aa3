#include "video/title_cleaning.h"

#include <gtest/gtest.h>

#include "net/text_encoding.h"

namespace quivra {
namespace {

std::string cleaned(const char* utf8) {
    return localToUtf8(cleanTitle(localText(utf8)));
}

TEST(CleanTitle, KeepsDigitsLettersAndIdeographs) {
    EXPECT_EQ(cleaned("ABCxyz0123456789"), "ABCxyz0123456789");
    EXPECT_EQ(cleaned("中文标题Quivra2021"), "中文标题Quivra2021");
    EXPECT_EQ(cleaned("一龥"), "一龥");  // both ends of the ideograph range
    EXPECT_EQ(cleaned(""), "");
}

TEST(CleanTitle, EveryOtherCharacterBecomesOneUnderscore) {
    EXPECT_EQ(cleaned("A/b c"), "A_b_c");
    EXPECT_EQ(cleaned("【中文】，标题！"), "_中文__标题_");
    EXPECT_EQ(cleaned("a..b??c"), "a__b__c");
    EXPECT_EQ(cleaned("x_y-z"), "x_y_z");
    EXPECT_EQ(cleaned("../../etc"), "______etc");
    EXPECT_EQ(cleaned("café ＡＢ"), "caf____");  // é, blank, full-width letters
    EXPECT_EQ(cleaned("ok😀"), "ok_");            // not in GBK: '?' then '_'
    EXPECT_EQ(cleaned("tab\there"), "tab_here");
}

TEST(CleanTitle, LineBreaksAreReplacedWhateverTheirForm) {
    EXPECT_EQ(cleaned("a\r\nb"), "a_b");
    EXPECT_EQ(cleaned("a\rb\nc"), "a_b_c");
    EXPECT_EQ(cleaned("a\r b\r\n"), "a__b_");
}

TEST(CleanTitle, NeverCutsDoubleByteCharacters) {
    // 乗 and 亅 end in the bytes of "\" and "|"; 保 ends and 珸 begins with the two
    // bytes of "，".
    EXPECT_EQ(cleaned("乗\\亅|"), "乗_亅_");
    EXPECT_EQ(cleaned("保珸，"), "保珸_");
    EXPECT_EQ(cleaned("乗亅保珸"), "乗亅保珸");
}

TEST(FormatDuration, MinutesAreNotCarriedIntoHours) {
    EXPECT_EQ(formatDuration(0), "00:00");
    EXPECT_EQ(formatDuration(7), "00:07");
    EXPECT_EQ(formatDuration(59), "00:59");
    EXPECT_EQ(formatDuration(60), "01:00");
    EXPECT_EQ(formatDuration(754), "12:34");
    EXPECT_EQ(formatDuration(3725), "62:05");
    EXPECT_EQ(formatDuration(6000), "100:00");
    EXPECT_EQ(formatDuration(2147483647), "35791394:07");
}

}  // namespace
}  // namespace quivra

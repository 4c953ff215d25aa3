#include "video/comments/subtitle.h"

#include <gtest/gtest.h>

namespace quivra {
namespace {

TEST(Subtitle, GivesSubRipCuesInTimeOrderAndSkipsWhatCannotBeShown) {
    const SubtitleBody body = parseSubtitleBody(
        R"({"font_size":0.4,"body":[
            {"from":3661.5,"to":3663.25,"location":2,"content":"第二行\n两行"},
            {"from":1.5,"to":3.2,"location":2,"content":"第一行 🎵"},
            {"from":5,"to":4,"location":2,"content":"ends before it starts"},
            {"from":"x","to":4,"content":"not a number"},
            {"from":7190,"to":7300,"content":"runs past the end"},
            {"from":7300,"to":7301,"content":"after the end"}]})",
        7200);
    EXPECT_EQ(body.problem, "");
    EXPECT_EQ(body.skipped, 3);
    EXPECT_EQ(subtitleSrt(body),
              "1\n00:00:01,500 --> 00:00:03,200\n第一行 🎵\n\n"
              "2\n01:01:01,500 --> 01:01:03,250\n第二行\n两行\n\n"
              "3\n01:59:50,000 --> 02:00:00,000\nruns past the end\n\n");
}

TEST(Subtitle, NamesAnAnswerThatIsNoSubtitle) {
    EXPECT_EQ(parseSubtitleBody("<html>", 0).problem, "字幕不是JSON");
    EXPECT_EQ(parseSubtitleBody(R"({"body":null})", 0).problem, "字幕没有内容");
    EXPECT_EQ(subtitleSrt(parseSubtitleBody(R"({"body":[]})", 0)), "");
}

TEST(Subtitle, LanguageCodes) {
    for (const auto& [site, code] : {std::pair{"zh-CN", "chi"},
                                     {"zh-Hans", "chi"},
                                     {"ai-zh", "chi"},
                                     {"en-US", "eng"},
                                     {"ja", "jpn"},
                                     {"ko-KR", "kor"},
                                     {"xx", "und"},
                                     {"", "und"}}) {
        EXPECT_EQ(languageCode(site), code) << site;
    }
}

}  // namespace
}  // namespace quivra

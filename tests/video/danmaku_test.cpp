#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <regex>
#include <string>

#include "video/comments/danmaku.h"
#include "video/comments/danmaku_ass.h"

namespace quivra {
namespace {

TEST(DanmakuXml, ReadsEveryCommentAndCountsTheUnreadable) {
    const DanmakuList list = parseDanmakuXml(
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><i><chatid>6001</chatid>"
        "<maxlimit>3000</maxlimit>"
        "<d p=\"1.5,1,25,16777215,1600000000,0,abc,1\">第一条</d>"
        "<d p=\"2,4,36,16711680,0,0,x,2\">a &amp; b &lt;c&gt; &#x1F600;&#10;&bogus;</d>"
        "<d p=\"3,5,18,255\">top</d>"
        "<d p=\"4,7,25,0,0\">[special]</d>"
        "<d p=\"5,1\">too few</d><d p=\"x,1,25,0\">not a number</d><d>no p</d>"
        "</i>");
    EXPECT_EQ(list.problem, "");
    EXPECT_EQ(list.skipped, 3);
    ASSERT_EQ(list.comments.size(), 4u);
    EXPECT_DOUBLE_EQ(list.comments[0].seconds, 1.5);
    EXPECT_EQ(list.comments[0].mode, DanmakuMode::Scrolling);
    EXPECT_EQ(list.comments[0].text, "第一条");
    EXPECT_EQ(list.comments[1].mode, DanmakuMode::Bottom);
    EXPECT_EQ(list.comments[1].size, 36);
    EXPECT_EQ(list.comments[1].color, 0xFF0000u);
    EXPECT_EQ(list.comments[1].text, "a & b <c> \xF0\x9F\x98\x80\n&bogus;");
    EXPECT_EQ(list.comments[2].mode, DanmakuMode::Top);
    EXPECT_EQ(list.comments[3].mode, DanmakuMode::Special);
}

TEST(DanmakuXml, NamesWhatIsWrongWithAnAnswerAndKeepsWhatCameBeforeACut) {
    struct Case {
        const char* xml;
        const char* problem;
        size_t comments;
    };
    for (const Case& c :
         {Case{"<i></i>", "", 0}, Case{"<i/>", "弹幕不是XML", 0},
          Case{"{\"code\":-404}", "弹幕不是XML", 0}, Case{"", "弹幕不是XML", 0},
          Case{"<i><d p=\"1,1,25,0\">a</d><d p=\"2,1,25,0\">b", "弹幕不完整", 1},
          Case{"<i><d p=\"1,1,25,0\">a</d>", "弹幕不完整", 1}, Case{"<i><d", "弹幕不完整", 0}}) {
        const DanmakuList list = parseDanmakuXml(c.xml);
        EXPECT_EQ(list.problem, c.problem) << c.xml;
        EXPECT_EQ(list.comments.size(), c.comments) << c.xml;
    }
}

Danmaku comment(double seconds, DanmakuMode mode, std::string text,
                std::uint32_t color = 0xFFFFFF) {
    return {seconds, mode, 25, color, std::move(text)};
}

std::vector<std::string> dialogues(const std::string& ass) {
    std::vector<std::string> lines;
    for (size_t at = ass.find("Dialogue: "); at != std::string::npos;
         at = ass.find("Dialogue: ", at + 1)) {
        lines.push_back(ass.substr(at, ass.find('\n', at) - at));
    }
    return lines;
}

TEST(DanmakuAss, NoCommentGivesTheHeaderAlone) {
    const DanmakuAss ass = danmakuToAss({}, {}, 1280, 720);
    EXPECT_NE(ass.text.find("PlayResX: 1280\nPlayResY: 720\n"), std::string::npos);
    EXPECT_NE(ass.text.find("[Events]\nFormat: Layer, Start, End"), std::string::npos);
    EXPECT_TRUE(dialogues(ass.text).empty());
}

TEST(DanmakuAss, ATextNeverStartsAnOverride) {
    DanmakuList list;
    list.comments = {comment(1, DanmakuMode::Top, "{\\pos(0,0)\\c&H0000FF&}red?\\N\nnext")};
    const std::vector<std::string> lines = dialogues(danmakuToAss(list, {}, 1920, 1080).text);
    ASSERT_EQ(lines.size(), 1u);
    const std::string text = lines[0].substr(lines[0].find('}') + 1);
    // Braces escaped, every backslash followed by a word joiner, the line break kept.
    EXPECT_EQ(text,
              "\\{\\\xE2\x81\xA0pos(0,0)\\\xE2\x81\xA0"
              "c&H0000FF&\\}red?\\\xE2\x81\xA0N\\Nnext");
}

TEST(DanmakuAss, ColoursTimesAndWhatTheSwitchesHide) {
    DanmakuList list;
    list.comments = {comment(61.25, DanmakuMode::Top, "top", 0xFF8000),
                     comment(2, DanmakuMode::Bottom, "bottom"),
                     comment(3, DanmakuMode::Scrolling, "scroll"),
                     comment(4, DanmakuMode::Special, "special")};
    const DanmakuAss all = danmakuToAss(list, {}, 1920, 1080);
    const std::vector<std::string> lines = dialogues(all.text);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(all.hidden, 1);  // the special one
    // In time order; a top comment stays 4 s; orange is blue-green-red in ASS.
    EXPECT_NE(lines[0].find("0:00:02.00,0:00:06.00"), std::string::npos) << lines[0];
    EXPECT_NE(lines[2].find("0:01:01.25,0:01:05.25"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("\\c&H0080FF&"), std::string::npos) << lines[2];

    DanmakuStyle style;
    style.hideColored = true;
    style.hideBottom = true;
    const DanmakuAss some = danmakuToAss(list, style, 1920, 1080);
    EXPECT_EQ(some.shown, 1);
    EXPECT_EQ(some.hidden, 3);
}

// Where each scrolling comment is at time t, by its \move and its times.
struct Flight {
    double start, end, x1, x2;
    long y;
};

TEST(DanmakuAss, ScrollingCommentsInOneLaneNeverOverlap) {
    std::mt19937 random(7);
    DanmakuList list;
    for (int i = 0; i < 3000; ++i) {
        const double seconds = std::uniform_real_distribution<double>(0, 300)(random);
        list.comments.push_back(
            comment(seconds, DanmakuMode::Scrolling,
                    std::string(std::uniform_int_distribution<int>(1, 40)(random), 'w')));
    }
    DanmakuStyle style;
    style.area = 0.5;
    const DanmakuAss ass = danmakuToAss(list, style, 1920, 1080);
    EXPECT_GT(ass.shown, 1000);
    EXPECT_EQ(ass.shown + ass.crowded, 3000);

    const std::regex line(
        R"(Dialogue: 0,(\d+):(\d+):([\d.]+),(\d+):(\d+):([\d.]+),.*\\move\((-?\d+),(\d+),(-?\d+),\d+\))");
    std::map<long, std::vector<Flight>> lanes;
    for (const std::string& text : dialogues(ass.text)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_search(text, m, line)) << text;
        const auto time = [&](int h) {
            return std::stod(m[h]) * 3600 + std::stod(m[h + 1]) * 60 + std::stod(m[h + 2]);
        };
        const long y = std::stol(m[8]);
        EXPECT_LE(y, 540) << "outside the area";
        lanes[y].push_back({time(1), time(4), std::stod(m[7]), std::stod(m[9]), y});
    }
    for (const auto& [y, flights] : lanes) {
        for (size_t i = 1; i < flights.size(); ++i) {
            const Flight& a = flights[i - 1];
            const Flight& b = flights[i];
            for (double t = b.start; t <= std::min(a.end, b.end); t += 0.05) {
                const auto head = [t](const Flight& f) {
                    return f.x1 + (f.x2 - f.x1) * (t - f.start) / (f.end - f.start);
                };
                // a's tail (head + width, width = -x2) stays left of b's head.
                EXPECT_LE(head(a) - a.x2, head(b) + 1.0) << "lane " << y << " at " << t;
            }
        }
    }
}

}  // namespace
}  // namespace quivra

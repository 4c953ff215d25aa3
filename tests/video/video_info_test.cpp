#include "video/video_info.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "base/date_text.h"
#include "net/text_encoding.h"
#include "support/local_site.h"
#include "video/title_cleaning.h"

namespace quivra {
namespace {

using devsite::kOddTitleBvid;
using devsite::kOnePartBvid;
using devsite::kTwelvePartBvid;

class VideoInfoTest : public test::LocalSiteTest {};

std::string utf8(const std::string& local) {
    return localToUtf8(local);
}

TEST_F(VideoInfoTest, FillsEveryFieldOfTheOnePartVideo) {
    VideoRecord record;
    record.bvid = "kept by the caller";
    ASSERT_EQ(requestVideoInfo(kOnePartBvid, record), 1);

    EXPECT_EQ(record.bvid, "kept by the caller");
    EXPECT_EQ(utf8(record.title), "山间小路的清晨");
    EXPECT_EQ(utf8(record.desc), "A quiet morning walk.\n清晨的山路。");
    EXPECT_EQ(record.pic, site().baseUrl() + "/cover/BV1xx411c7mD.jpg");
    EXPECT_EQ(record.duration, "62:05");
    EXPECT_EQ(record.cid, "3001");
    EXPECT_EQ(record.videos, 1);
    EXPECT_EQ(record.owner.mid, "10001");
    EXPECT_EQ(utf8(record.owner.name), "晨光小站");
    EXPECT_EQ(record.owner.face, "http://i0.example.invalid/face/10001.jpg");
    EXPECT_EQ(record.stat.view, "123456");
    EXPECT_EQ(record.stat.danmaku, "2469");
    EXPECT_EQ(record.stat.reply, "1234");
    EXPECT_EQ(record.stat.favorite, "6172");
    EXPECT_EQ(record.stat.coin, "4115");
    EXPECT_EQ(record.stat.share, "617");
    EXPECT_EQ(record.stat.like, "12345");
    EXPECT_EQ(record.stat.pubdate,
              std::string("2021-03-05 ") + (localeUses24HourClock() ? "14" : "02") + ":07:09");
    ASSERT_EQ(record.pages.size(), 1u);
    EXPECT_EQ(record.pages[0].cid, "3001");
    EXPECT_EQ(record.pages[0].page, "1");
    EXPECT_EQ(utf8(record.pages[0].part), "山间小路的清晨");
    EXPECT_EQ(record.pages[0].duration, "62:05");

    const auto requests = site().requestsTo("/x/web-interface/view");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].query, std::string("bvid=") + kOnePartBvid);
    EXPECT_FALSE(requests[0].hasHeader("Cookie"));
    EXPECT_NE(requests[0].header("User-Agent").find("Chrome/50.0.2661.87"), std::string::npos);
}

TEST_F(VideoInfoTest, ListsTwelvePartsInOrderAndReplacesOldPages) {
    VideoRecord record;
    record.pages.resize(30);
    ASSERT_EQ(requestVideoInfo(kTwelvePartBvid, record), 12);
    EXPECT_EQ(utf8(record.title), "木工入门_全十二集");
    ASSERT_EQ(record.pages.size(), 12u);
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(record.pages[i].page, std::to_string(i + 1));
        EXPECT_EQ(record.pages[i].cid, std::to_string(62001 + i));
    }
    EXPECT_EQ(record.pages[0].duration, "01:00");
    EXPECT_EQ(record.pages[1].duration, "01:47");
    EXPECT_EQ(utf8(record.pages[0].part), "第1集 工具");  // part titles stay as they are
}

TEST_F(VideoInfoTest, OddTitleIsCleanedForFileNames) {
    VideoRecord record;
    ASSERT_GT(requestVideoInfo(kOddTitleBvid, record), 0);
    const std::string title = utf8(record.title);
    EXPECT_EQ(title.find_first_of(" /\\:?*|<>\"."), std::string::npos) << title;
    EXPECT_NE(title.find("测试"), std::string::npos) << title;
    EXPECT_NE(title.find("A_b_c"), std::string::npos) << title;
    // The tags take the title as the site gives it.
    EXPECT_EQ(utf8(record.siteTitle),
              "  A/b c: 测试？！「标题」 (v2.0) \\ 《合集》 ｜ Ｆｕｌｌ－ｗｉｄｔｈ ＆ more…  ");
}

TEST_F(VideoInfoTest, KeepsTheSiteTextsBesideTheLocalOnes) {
    VideoRecord record;
    ASSERT_EQ(requestVideoInfo(devsite::kWorldTextBvid, record), 2);
    ASSERT_EQ(record.pages.size(), 2u);
    const std::string fffd = "\xEF\xBF\xBD";
    struct Text {
        const char* field;
        std::string original;
        std::string local;
    };
    const Text texts[] = {
        {"title", "🎵 노래 测试 ♫", record.siteTitle},
        {"desc", "旗 🇰🇷 一家 👨‍👩‍👧 カタカナ ひらがな 𠀋 שלום",
         record.desc},
        {"owner", "가수 歌手", record.owner.name},
        {"part 1", "🎤 가사 第一段", record.pages[0].part},
        {"part 2", "残缺" + fffd + " 与 " + fffd + " 第二段", record.pages[1].part},
    };
    const std::string originals[] = {record.titleUtf8, record.descUtf8, record.owner.nameUtf8,
                                     record.pages[0].partUtf8, record.pages[1].partUtf8};
    for (size_t i = 0; i < std::size(texts); ++i) {
        EXPECT_EQ(originals[i], texts[i].original) << texts[i].field;
        // The local text stays what GBK makes of the site's.
        EXPECT_EQ(texts[i].local, utf8ToLocalText(texts[i].original)) << texts[i].field;
    }
    EXPECT_EQ(record.title, cleanTitle(record.siteTitle));
}

TEST_F(VideoInfoTest, PartLoopFollowsVideosNotThePageList) {
    site().overrideAnswer("/x/web-interface/view", 200,
                          R"({"code":0,"data":{"videos":3,"title":"t","cid":7,)"
                          R"("pages":[{"cid":7,"page":1,"part":"p1","duration":61}]}})",
                          "application/json", 1);
    VideoRecord record;
    ASSERT_EQ(requestVideoInfo(kOnePartBvid, record), 3);
    ASSERT_EQ(record.pages.size(), 3u);
    EXPECT_EQ(record.pages[0].duration, "01:01");
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(record.pages[i].cid, "");
        EXPECT_EQ(record.pages[i].page, "");
        EXPECT_EQ(record.pages[i].part, "");
        EXPECT_EQ(record.pages[i].duration, "00:00");
    }
    // Missing fields of an accepted answer read as empty texts.
    EXPECT_EQ(record.desc, "");
    EXPECT_EQ(record.duration, "00:00");
    EXPECT_EQ(record.stat.pubdate, "");

    // Fewer parts than listed: only `videos` entries.
    site().overrideAnswer("/x/web-interface/view", 200,
                          R"({"code":0,"data":{"videos":1,"pages":[{"cid":1},{"cid":2}]}})",
                          "application/json", 1);
    ASSERT_EQ(requestVideoInfo(kOnePartBvid, record), 1);
    EXPECT_EQ(record.pages.size(), 1u);
}

TEST_F(VideoInfoTest, AbsurdPartCountDoesNotExhaustMemory) {
    site().overrideAnswer("/x/web-interface/view", 200,
                          R"({"code":0,"data":{"videos":2147483647,"pages":[{"cid":1}]}})",
                          "application/json", 1);
    VideoRecord record;
    EXPECT_EQ(requestVideoInfo(kOnePartBvid, record), 2147483647);
    EXPECT_LE(record.pages.size(), 10001u);
    EXPECT_EQ(record.pages[0].cid, "1");

    site().overrideAnswer("/x/web-interface/view", 200, R"({"code":0,"data":{"videos":-5}})",
                          "application/json", 1);
    EXPECT_EQ(requestVideoInfo(kOnePartBvid, record), -5);
    EXPECT_TRUE(record.pages.empty());
}

TEST_F(VideoInfoTest, UnusableAnswersLeaveTheRecordUnchanged) {
    VideoRecord record;
    ASSERT_EQ(requestVideoInfo(kOnePartBvid, record), 1);
    const VideoRecord before = record;
    auto unchanged = [&] {
        EXPECT_EQ(record.title, before.title);
        EXPECT_EQ(record.videos, before.videos);
        EXPECT_EQ(record.pages.size(), before.pages.size());
        EXPECT_EQ(record.stat.view, before.stat.view);
    };

    EXPECT_EQ(requestVideoInfo("BV1zzzzzzzzz", record), -1);  // the site's -404
    unchanged();
    for (const char* body : {"<!DOCTYPE html><html><body>Not here</body></html>", "",
                             "{\"code\":0,\"data\":{", "null"}) {
        site().overrideAnswer("/x/web-interface/view", 200, body, "text/html", 1);
        EXPECT_EQ(requestVideoInfo(kOnePartBvid, record), -1) << body;
        unchanged();
    }
    site().overrideAnswer("/x/web-interface/view", 500, "{\"code\":-500}", "application/json", 1);
    EXPECT_EQ(requestVideoInfo(kOnePartBvid, record), -1);
    unchanged();

    sharedState().site.api = "http://127.0.0.1:1";
    EXPECT_EQ(requestVideoInfo(kOnePartBvid, record), -1);
    unchanged();
}

}  // namespace
}  // namespace quivra

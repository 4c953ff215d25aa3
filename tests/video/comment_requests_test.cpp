#include "video/comments/comment_requests.h"

#include <gtest/gtest.h>

#include "net/text_encoding.h"
#include "support/local_site.h"

namespace quivra {
namespace {

class CommentRequestsTest : public test::LocalSiteTest {
  protected:
    static CommentSource source() {
        CommentSource source;
        source.site = sharedState().site;
        source.timings.refusalWaitsMs = {40, 40};
        source.timings.paceAfterRefusalMs = 20;
        return source;
    }
};

TEST_F(CommentRequestsTest, SubtitlesAndChaptersOfAPartAndNeverThoseOfAnother) {
    const PlayerInfo info = fetchPlayerInfo(source(), "2", devsite::kSubtitledCid);
    ASSERT_EQ(info.failure, "");
    ASSERT_EQ(info.subtitles.size(), 3u);
    EXPECT_EQ(info.subtitles[0].lan, "zh-CN");
    EXPECT_FALSE(info.subtitles[0].ai);
    EXPECT_TRUE(info.subtitles[2].ai);
    // The address came without a scheme: it takes the interface's.
    EXPECT_TRUE(info.subtitles[0].url.starts_with(site().baseUrl() + "/bfs/subtitle/"));
    ASSERT_EQ(info.chapters.size(), 3u);
    EXPECT_EQ(localToUtf8(info.chapters[1].title), "第二章：途中");
    EXPECT_DOUBLE_EQ(info.chapters[1].from, 1200);

    const SubtitleFetch subtitle = fetchSubtitle(source(), info.subtitles[0], 3725);
    EXPECT_EQ(subtitle.failure, "");
    ASSERT_EQ(subtitle.body.lines.size(), 2u);
    EXPECT_EQ(subtitle.body.lines[0].content, "第一句 🎵");

    // The second part of the three-part video is answered with the first's subtitles.
    const PlayerInfo other = fetchPlayerInfo(source(), "182794123", devsite::kWrongSubtitleCid);
    EXPECT_TRUE(other.subtitles.empty());
    EXPECT_NE(localToUtf8(other.failure).find("另一分P"), std::string::npos);
}

TEST_F(CommentRequestsTest, BulletCommentsInflatedUnderTheCapOrRefusedWithAReason) {
    const DanmakuFetch crowded = fetchDanmaku(source(), devsite::kCrowdedDanmakuCid);
    EXPECT_EQ(crowded.failure, "");
    EXPECT_EQ(crowded.list.comments.size(), static_cast<size_t>(devsite::kCrowdedDanmakuCount));
    EXPECT_TRUE(crowded.xml.starts_with("<?xml"));

    struct Case {
        const char* name;
        std::function<void()> arrange;
        const char* cid;
        const char* failure;
    };
    const Case cases[] = {
        {"past the cap", [] {}, devsite::kDanmakuBombCid, "弹幕解压后超过64MiB，已拒绝"},
        {"plain XML", [] { site().overrideAnswer("/x/v1/dm/list.so", 200, "<i></i>", "text/xml"); },
         "3001", "弹幕不是deflate压缩的数据"},
        {"an error page", [] { site().overrideAnswer("/x/v1/dm/list.so", 404, "gone"); }, "3001",
         "站点回答HTTP 404"},
    };
    for (const Case& c : cases) {
        site().clearOverrides();
        c.arrange();
        const DanmakuFetch fetched = fetchDanmaku(source(), c.cid);
        EXPECT_EQ(localToUtf8(fetched.failure), c.failure) << c.name;
        EXPECT_TRUE(fetched.list.comments.empty()) << c.name;
    }
}

}  // namespace
}  // namespace quivra

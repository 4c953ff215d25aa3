#include <ctime>
#include <set>

#include "devsite/site_client.h"
#include "net/raw_inflate.h"
#include "video/comments/danmaku.h"
#include "video/listing/wbi_signature.h"

namespace devsite_test {
namespace {

using namespace devsite;
using quivra::Inflated;

class CommentEndpointsTest : public SiteTest {};

constexpr std::size_t kCap = 64u << 20;

Inflated danmakuOf(const std::string& cid) {
    auto result = SiteTest::client().Get("/x/v1/dm/list.so?oid=" + cid);
    if (!result || result->status != 200) return {};
    return quivra::inflateRaw(result->body, kCap);
}

TEST_F(CommentEndpointsTest, BulletCommentsComeAsRawDeflateXml) {
    const Inflated crowded = danmakuOf(kCrowdedDanmakuCid);
    ASSERT_EQ(crowded.outcome, Inflated::Whole);
    const quivra::DanmakuList list = quivra::parseDanmakuXml(crowded.text);
    EXPECT_EQ(list.problem, "");
    EXPECT_EQ(list.skipped, 0);
    ASSERT_EQ(list.comments.size(), static_cast<size_t>(kCrowdedDanmakuCount));
    std::set<quivra::DanmakuMode> modes;
    std::set<int> sizes;
    for (const quivra::Danmaku& comment : list.comments) {
        modes.insert(comment.mode);
        sizes.insert(comment.size);
    }
    EXPECT_EQ(modes.size(), 4u);
    EXPECT_EQ(sizes, (std::set<int>{18, 25, 36}));

    EXPECT_EQ(quivra::parseDanmakuXml(danmakuOf(kOverrideDanmakuCid).text).comments.size(), 4u);
    const quivra::DanmakuList none = quivra::parseDanmakuXml(danmakuOf("62001").text);
    EXPECT_EQ(none.problem, "");
    EXPECT_TRUE(none.comments.empty());
    EXPECT_EQ(danmakuOf(kDanmakuBombCid).outcome, Inflated::TooLarge);
}

// The player information, signed with the keys the nav answer hands out.
Json playerInfo(const std::string& aid, const std::string& cid) {
    const Json nav = SiteTest::getJson("/x/web-interface/nav", {{"Cookie", kPlainCookie}});
    const auto key = [&](const char* name) {
        return quivra::wbiKeyOfAddress(nav["data"]["wbi_img"][name].get<std::string>());
    };
    const std::string query =
        quivra::signWbiQuery({{"aid", aid}, {"cid", cid}}, std::time(nullptr),
                             quivra::wbiMixingKey(key("img_url"), key("sub_url")));
    return SiteTest::getJson("/x/player/wbi/v2?" + query);
}

TEST_F(CommentEndpointsTest, PlayerInformationListsSubtitlesAndViewPoints) {
    const Json info = playerInfo("2", kSubtitledCid);
    ASSERT_EQ(info["code"], 0) << info.dump();
    EXPECT_EQ(info["data"]["cid"], 3001);
    const Json& subtitles = info["data"]["subtitle"]["subtitles"];
    ASSERT_EQ(subtitles.size(), 3u);
    EXPECT_EQ(subtitles[2]["lan"], "ai-zh");
    EXPECT_EQ(subtitles[2]["ai_type"], 1);
    EXPECT_EQ(info["data"]["view_points"].size(), 3u);

    // Scheme-relative, on this site.
    const std::string url = subtitles[0]["subtitle_url"];
    ASSERT_TRUE(url.starts_with("//127.0.0.1:")) << url;
    const Json body = getJson(url.substr(url.find('/', 2)));
    EXPECT_EQ(body["body"][0]["content"], "第一句 🎵");

    // The three-part video's second part is answered with the first's.
    EXPECT_EQ(playerInfo("182794123", kWrongSubtitleCid)["data"]["cid"], 5101);
    EXPECT_EQ(getJson("/x/player/wbi/v2?aid=2&cid=3001")["code"], -352);
    EXPECT_EQ(playerInfo("2", "999")["code"], -404);
}

}  // namespace
}  // namespace devsite_test

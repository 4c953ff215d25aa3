// A video added while the site runs: at the head of the uploader's list and the favourites
// folder, the season's latest episode, and known to the view and stream endpoints. A site of
// its own, so the other suites keep their counts.
#include <gtest/gtest.h>
#include <httplib.h>

#include <ctime>
#include <nlohmann/json.hpp>

#include "devsite/dev_site.h"

namespace devsite_test {
namespace {

using Json = nlohmann::ordered_json;

class NewVideoTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(site_.start()); }

    Json get(const std::string& target) {
        httplib::Client client("127.0.0.1", site_.port());
        auto result = client.Get(target);
        if (!result || result->status != 200) return Json();
        return Json::parse(result->body, nullptr, false);
    }

    devsite::DevSite site_;
};

TEST_F(NewVideoTest, HeadsTheListsAndIsTheSeasonsLatestEpisode) {
    const std::time_t before = std::time(nullptr);
    httplib::Client client("127.0.0.1", site_.port());
    auto answer = client.Post("/_devsite/new-video");
    ASSERT_TRUE(answer);
    const std::string first = Json::parse(answer->body)["bvid"];
    const std::string second = site_.addNewVideo();
    EXPECT_EQ(first, "BV1Nw4000001");
    EXPECT_EQ(second, "BV1Nw4000002");

    const Json favourites = get("/x/v3/fav/resource/list?media_id=30001&pn=1&ps=20");
    EXPECT_EQ(favourites["data"]["info"]["media_count"], 27);
    EXPECT_EQ(favourites["data"]["medias"][0]["bvid"], second);
    EXPECT_EQ(favourites["data"]["medias"][1]["bvid"], first);
    EXPECT_EQ(favourites["data"]["medias"][2]["bvid"], devsite::kTwelvePartBvid);
    EXPECT_GE(favourites["data"]["medias"][0]["pubtime"].get<long long>(), before);

    const Json season = get(std::string("/pgc/view/web/season?season_id=") + devsite::kSeasonId);
    const Json& episodes = season["result"]["episodes"];
    ASSERT_EQ(episodes.size(), devsite::kSeasonEpisodeCount + 2u);
    const Json& latest = episodes.back();
    EXPECT_EQ(latest["bvid"], second);
    EXPECT_EQ(latest["title"], "14");
    const Json streams = get("/pgc/player/web/playurl?ep_id=" + latest["ep_id"].dump() +
                             "&cid=" + latest["cid"].dump() + "&fourk=1&fnval=80");
    EXPECT_EQ(streams["code"], 0);
    EXPECT_EQ(get("/pgc/player/web/playurl?ep_id=69003&cid=19000003&fourk=1&fnval=80")["code"],
              -404);

    const Json view = get("/x/web-interface/view?bvid=" + first);
    EXPECT_EQ(view["data"]["cid"], 19000001);
    EXPECT_EQ(get("/x/web-interface/view?bvid=BV1Nw4000003")["code"], -404);
}

}  // namespace
}  // namespace devsite_test

#include "video/stream_formats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/config_file.h"
#include "net/text_encoding.h"
#include "support/local_site.h"

namespace quivra {
namespace {

using devsite::kMemberCookie;
using devsite::kOnePartBvid;
using devsite::kPlainCookie;

constexpr const char* kOnePartCid = "3001";

struct Offer {
    std::string quality;
    std::string description;  // UTF-8
    bool available;
    bool operator==(const Offer&) const = default;
};

std::vector<Offer> offers() {
    std::vector<Offer> result;
    for (const QualityEntry& entry : sharedState().qualities.get().entries) {
        result.push_back({entry.quality, localToUtf8(entry.newDescription), entry.available});
    }
    return result;
}

class StreamFormatsTest : public test::LocalSiteTest {
  protected:
    // The address the local site gives for one stream of the one-part video.
    std::string streamUrl(const std::string& id) const {
        return site().baseUrl() + "/media/" + kOnePartBvid + "-" + kOnePartCid + "-" + id + ".m4s";
    }
    VideoRecord onePart() const {
        VideoRecord record;
        record.bvid = kOnePartBvid;
        return record;
    }
};

TEST_F(StreamFormatsTest, PlainUserSeesMemberQualitiesAsUnavailable) {
    setUserCookie(kPlainCookie);
    EXPECT_EQ(requestQualityList(kOnePartBvid, kOnePartCid), 6);
    EXPECT_EQ(sharedState().qualities.get().count, 6);
    const std::vector<Offer> expected = {
        {"120", "4K 超清", false}, {"116", "1080P60 高帧率", false}, {"80", "1080P 高清", true},
        {"64", "720P 高清", true}, {"32", "480P 清晰", true},        {"16", "360P 流畅", true}};
    EXPECT_EQ(offers(), expected);
}

TEST_F(StreamFormatsTest, MemberCookieUnlocksEveryQuality) {
    setUserCookie(kMemberCookie);
    ASSERT_EQ(requestQualityList(kOnePartBvid, kOnePartCid), 6);
    for (const Offer& offer : offers()) EXPECT_TRUE(offer.available) << offer.quality;
}

TEST_F(StreamFormatsTest, RequestCarriesTheUserCookieAndKeepsWhatTheAnswerSets) {
    writeConfigItem(configPath(), "user", "cookie", kMemberCookie);
    setUserCookie(kMemberCookie);
    ASSERT_EQ(requestQualityList(kOnePartBvid, kOnePartCid), 6);

    const auto requests = site().requestsTo("/x/player/playurl");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].query,
              std::string("cid=") + kOnePartCid + "&bvid=" + kOnePartBvid + "&fourk=1&fnval=80");
    EXPECT_EQ(requests[0].header("Cookie"), kMemberCookie);
    EXPECT_NE(requests[0].header("User-Agent").find("Mozilla/5.0"), std::string::npos);

    // The visitor cookie the answer set is merged in memory; config.ini keeps the login.
    const std::string cookie = sharedState().user.get().cookie;
    EXPECT_EQ(cookie.rfind("visitor=devsite-", 0), 0u) << cookie;
    EXPECT_TRUE(cookie.ends_with(std::string("; ") + kMemberCookie)) << cookie;
    EXPECT_EQ(readConfigItem(configPath(), "user", "cookie"), kMemberCookie);

    // The next request sends the merged list.
    ASSERT_EQ(requestQualityList(kOnePartBvid, kOnePartCid), 6);
    EXPECT_EQ(site().requestsTo("/x/player/playurl").back().header("Cookie"), cookie);
}

TEST_F(StreamFormatsTest, NobodyLoggedInGetsTheStreamsOpenToEveryone) {
    ASSERT_EQ(requestQualityList(kOnePartBvid, kOnePartCid), 6);
    const std::vector<Offer> list = offers();
    EXPECT_FALSE(list[0].available);
    EXPECT_FALSE(list[1].available);
    EXPECT_TRUE(list[2].available);
    EXPECT_EQ(site().requestsTo("/x/player/playurl").at(0).header("Cookie"), "");
    // The visitor cookie of the answer becomes the user's cookie in memory.
    EXPECT_EQ(sharedState().user.get().cookie.rfind("visitor=devsite-", 0), 0u);
}

TEST_F(StreamFormatsTest, OnlyEvenStreamIndexesAreLookedAt) {
    // Five streams: indexes 0 and 2 count; 64 (index 1) and 16 (index 3, 4) do not.
    site().overrideAnswer("/x/player/playurl", 200,
                          R"({"code":0,"data":{"support_formats":[)"
                          R"({"quality":80,"new_description":"a"},)"
                          R"({"quality":64,"new_description":"b"},)"
                          R"({"quality":32,"new_description":"c"},)"
                          R"({"quality":16,"new_description":"d"}],)"
                          R"("dash":{"video":[{"id":80,"baseUrl":"u80"},{"id":64,"baseUrl":"u64"},)"
                          R"({"id":32,"baseUrl":"u32"},{"id":16,"baseUrl":"u16"},)"
                          R"({"id":16,"baseUrl":"u16b"}],"audio":[]}}})",
                          "application/json");
    ASSERT_EQ(requestQualityList(kOnePartBvid, kOnePartCid), 4);
    const std::vector<Offer> expected = {
        {"80", "a", true}, {"64", "b", false}, {"32", "c", true}, {"16", "d", false}};
    EXPECT_EQ(offers(), expected);

    // The resolution walks the same indexes and falls back to the first stream.
    EXPECT_EQ(resolveStreamAddresses(onePart(), kOnePartCid, "32").video, "u32");
    EXPECT_EQ(resolveStreamAddresses(onePart(), kOnePartCid, "64").video, "u80");
    const StreamAddresses noAudio = resolveStreamAddresses(onePart(), kOnePartCid, "16", "30280");
    EXPECT_EQ(noAudio.video, "u80");
    EXPECT_EQ(noAudio.audio, "");
}

TEST_F(StreamFormatsTest, FailedRequestKeepsTheListAndSetsCountToMinusOne) {
    ASSERT_EQ(requestQualityList(kOnePartBvid, kOnePartCid), 6);
    const std::vector<Offer> before = offers();

    EXPECT_EQ(requestQualityList("BV1zzzzzzzzz", kOnePartCid), -1);  // -404
    EXPECT_EQ(sharedState().qualities.get().count, -1);
    EXPECT_EQ(offers(), before);

    for (const char* body : {"<html><body>502 Bad Gateway</body></html>", "", "{\"code\":0"}) {
        site().overrideAnswer("/x/player/playurl", 200, body, "text/html", 1);
        EXPECT_EQ(requestQualityList(kOnePartBvid, kOnePartCid), -1) << body;
        EXPECT_EQ(offers(), before);
    }
    // A code that is not "0" even with data.
    site().overrideAnswer("/x/player/playurl", 200,
                          R"({"code":-10403,"data":{"support_formats":[{"quality":80}]}})",
                          "application/json", 1);
    EXPECT_EQ(requestQualityList(kOnePartBvid, kOnePartCid), -1);
}

TEST_F(StreamFormatsTest, ResolutionPicksTheWantedStreamsExactly) {
    setUserCookie(kMemberCookie);
    StreamAddresses addresses = resolveStreamAddresses(onePart(), kOnePartCid, "116", "30232");
    EXPECT_EQ(addresses.video, streamUrl("116"));
    EXPECT_EQ(addresses.audio, streamUrl("30232"));

    addresses = resolveStreamAddresses(onePart(), kOnePartCid, "16", "30216");
    EXPECT_EQ(addresses.video, streamUrl("16"));
    EXPECT_EQ(addresses.audio, streamUrl("30216"));

    // Nothing wanted: the first stream of each list.
    addresses = resolveStreamAddresses(onePart(), kOnePartCid);
    EXPECT_EQ(addresses.video, streamUrl("120"));
    EXPECT_EQ(addresses.audio, streamUrl("30280"));

    // Comparisons are exact: near misses fall back too.
    addresses = resolveStreamAddresses(onePart(), kOnePartCid, "080", "30232 ");
    EXPECT_EQ(addresses.video, streamUrl("120"));
    EXPECT_EQ(addresses.audio, streamUrl("30280"));
}

TEST_F(StreamFormatsTest, MemberQualityFallsBackToFirstStreamForPlainUser) {
    setUserCookie(kPlainCookie);
    const StreamAddresses addresses =
        resolveStreamAddresses(onePart(), kOnePartCid, "120", "99999");
    EXPECT_EQ(addresses.video, streamUrl("80"));
    EXPECT_EQ(addresses.audio, streamUrl("30280"));
}

TEST_F(StreamFormatsTest, FailedResolutionGivesTwoEmptyAddresses) {
    StreamAddresses addresses = resolveStreamAddresses(onePart(), "999999", "80", "30280");
    EXPECT_EQ(addresses.video, "");
    EXPECT_EQ(addresses.audio, "");

    site().overrideAnswer("/x/player/playurl", 200, "", "text/html", 1);
    addresses = resolveStreamAddresses(onePart(), kOnePartCid, "80", "30280");
    EXPECT_EQ(addresses.video, "");
    EXPECT_EQ(addresses.audio, "");

    sharedState().site.api = "http://127.0.0.1:1";  // nobody listens
    addresses = resolveStreamAddresses(onePart(), kOnePartCid, "80", "30280");
    EXPECT_EQ(addresses.video, "");
    EXPECT_EQ(addresses.audio, "");
}

}  // namespace
}  // namespace quivra

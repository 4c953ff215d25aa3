#include "video/stream_formats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/config_file.h"
#include "devsite/list_videos.h"
#include "net/text_encoding.h"
#include "support/local_site.h"

namespace quivra {
namespace {

using devsite::kMemberCookie;
using devsite::kOnePartBvid;
using devsite::kPlainCookie;

constexpr const char* kOnePartCid = "3001";
constexpr const char* kCodecsCid = "6201";
constexpr const char* kSwappedCid = "6301";

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

struct Stream {
    int id;
    int codecid;
};

// A playurl answer whose streams' addresses are "u<id>-<codecid>".
std::string playurlAnswer(const std::vector<int>& qualities, const std::vector<Stream>& streams) {
    std::string formats, video;
    for (int quality : qualities) {
        const std::string q = std::to_string(quality);
        formats += (formats.empty() ? "" : ",") + std::string(R"({"quality":)") + q +
                   R"(,"new_description":"q)" + q + "\"}";
    }
    for (const Stream& s : streams) {
        const std::string id = std::to_string(s.id), codec = std::to_string(s.codecid);
        video += (video.empty() ? "" : ",") + std::string(R"({"id":)") + id + R"(,"codecid":)" +
                 codec + R"(,"baseUrl":"u)" + id + "-" + codec + "\"}";
    }
    return R"({"code":0,"data":{"support_formats":[)" + formats + R"(],"dash":{"video":[)" + video +
           R"(],"audio":[]}}})";
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

TEST_F(StreamFormatsTest, QualityIsAvailableWhenAnyStreamHasItsId) {
    // 125 alone (HDR comes in HEVC only) shifts every pair after it; 120 has three
    // streams, 116 two, 64 one, 32 is listed with none.
    site().overrideAnswer(
        "/x/player/playurl", 200,
        playurlAnswer({125, 120, 116, 64, 32},
                      {{125, 12}, {120, 7}, {120, 12}, {120, 13}, {116, 7}, {116, 12}, {64, 12}}),
        "application/json");
    ASSERT_EQ(requestQualityList(kOnePartBvid, kOnePartCid), 5);
    const std::vector<Offer> expected = {{"125", "q125", true},
                                         {"120", "q120", true},
                                         {"116", "q116", true},
                                         {"64", "q64", true},
                                         {"32", "q32", false}};
    EXPECT_EQ(offers(), expected);
    std::vector<std::vector<int>> codecIds;
    for (const QualityEntry& entry : sharedState().qualities.get().entries)
        codecIds.push_back(entry.codecIds);
    EXPECT_EQ(codecIds, (std::vector<std::vector<int>>{{12}, {7, 12, 13}, {7, 12}, {12}, {}}));

    // A quality with no stream falls back to the first listed one.
    EXPECT_EQ(resolveStreamAddresses(onePart(), kOnePartCid, "32").video, "u125-12");
    const StreamAddresses noAudio = resolveStreamAddresses(onePart(), kOnePartCid, "64", "30280");
    EXPECT_EQ(noAudio.video, "u64-12");
    EXPECT_EQ(noAudio.audio, "");
}

TEST_F(StreamFormatsTest, StreamIsChosenByIdAndCodecNeverByPosition) {
    // 8K without AVC, then the lone HDR stream; 80 lists HEVC before AVC.
    site().overrideAnswer("/x/player/playurl", 200,
                          playurlAnswer({127, 125, 116, 80, 64}, {{127, 12},
                                                                  {127, 13},
                                                                  {125, 12},
                                                                  {116, 7},
                                                                  {116, 12},
                                                                  {80, 12},
                                                                  {80, 7},
                                                                  {64, 7},
                                                                  {64, 12}}),
                          "application/json");
    const std::vector<VideoCodec> hevcFirst = *parseCodecOrder("hevc");
    const std::vector<VideoCodec> av1First = *parseCodecOrder("av1");
    struct Case {
        const char* quality;
        std::vector<VideoCodec> codecs;
        const char* url;
        VideoCodec codec;
    };
    const Case cases[] = {
        {"116", defaultCodecOrder(), "u116-7", VideoCodec::Avc},
        {"80", defaultCodecOrder(), "u80-7", VideoCodec::Avc},
        {"64", defaultCodecOrder(), "u64-7", VideoCodec::Avc},
        {"64", hevcFirst, "u64-12", VideoCodec::Hevc},
        // HDR has no AVC: the next codec of the order.
        {"125", defaultCodecOrder(), "u125-12", VideoCodec::Hevc},
        {"80", av1First, "u80-7", VideoCodec::Avc},
        // 8K has no AVC.
        {"127", defaultCodecOrder(), "u127-12", VideoCodec::Hevc},
        {"127", av1First, "u127-13", VideoCodec::Av1},
        // Nothing wanted: the first listed quality in the codec of the order.
        {"", defaultCodecOrder(), "u127-12", VideoCodec::Hevc},
    };
    for (const Case& c : cases) {
        const StreamAddresses got =
            resolvePartStreams(kOnePartBvid, "", kOnePartCid, {c.quality, "", c.codecs});
        EXPECT_EQ(got.video, c.url) << c.quality << " " << codecOrderText(c.codecs);
        EXPECT_EQ(got.videoCodec, c.codec) << c.quality << " " << codecOrderText(c.codecs);
    }
    EXPECT_EQ(resolveStreamAddresses(onePart(), kOnePartCid, "80").video, "u80-7");
}

TEST_F(StreamFormatsTest, CodecIdIsTrustedOverTheCodecsText) {
    site().overrideAnswer("/x/player/playurl", 200,
                          R"({"code":0,"data":{"support_formats":[{"quality":80}],"dash":{)"
                          R"("video":[{"id":80,"codecid":12,"codecs":"avc1.640032","baseUrl":"h"},)"
                          R"({"id":80,"codecid":7,"codecs":"hev1.1.6.L150.90","baseUrl":"a"},)"
                          R"({"id":80,"codecs":"av01.0.08M.08","baseUrl":"v"}],"audio":[]}}})",
                          "application/json");
    const StreamAddresses avc = resolvePartStreams(kOnePartBvid, "", kOnePartCid, {"80", ""});
    EXPECT_EQ(avc.video, "a");
    EXPECT_EQ(avc.videoCodec, VideoCodec::Avc);
    // Without codecid, the codecs text names the codec.
    const StreamAddresses av1 =
        resolvePartStreams(kOnePartBvid, "", kOnePartCid, {"80", "", *parseCodecOrder("av1")});
    EXPECT_EQ(av1.video, "v");
    EXPECT_EQ(av1.videoCodec, VideoCodec::Av1);
}

TEST_F(StreamFormatsTest, Av1IsAskedForOnlyWhenTheOrderMayTakeIt) {
    setUserCookie(kMemberCookie);
    const std::string episode = devsite::seasonEpisodeId(1);
    const std::string episodeCid = std::to_string(devsite::seasonEpisode(1).made.part.cid);
    struct Case {
        const char* order;
        const char* fnval;
        const char* url;  // the 80 stream's ending
    };
    const Case cases[] = {{"avc,hevc,av1", "80", "-80.m4s"},
                          {"hevc,avc,av1", "80", "-80-12.m4s"},
                          {"hevc,av1,avc", "2128", "-80-12.m4s"},
                          {"av1", "2128", "-80-13.m4s"}};
    for (const Case& c : cases) {
        const StreamWants wants{"80", "", *parseCodecOrder(c.order)};
        const StreamAddresses video = resolvePartStreams(kOnePartBvid, "", kOnePartCid, wants);
        EXPECT_TRUE(video.video.ends_with(c.url)) << c.order << " " << video.video;
        EXPECT_EQ(site().requestsTo("/x/player/playurl").back().query,
                  std::string("cid=") + kOnePartCid + "&bvid=" + kOnePartBvid +
                      "&fourk=1&fnval=" + c.fnval)
            << c.order;
        const StreamAddresses ep = resolvePartStreams("", episode, episodeCid, wants);
        EXPECT_TRUE(ep.video.ends_with(c.url)) << c.order << " " << ep.video;
        EXPECT_EQ(site().requestsTo("/pgc/player/web/playurl").back().query,
                  "ep_id=" + episode + "&cid=" + episodeCid + "&fourk=1&fnval=" + c.fnval)
            << c.order;
    }
}

TEST_F(StreamFormatsTest, LosslessAndDolbyAudioAreTakenWhereMarkedAndRefusedWithoutStream) {
    struct Case {
        const char* dash;  // the flac and dolby members of the answer's dash
        std::vector<int> audioIds;
        const char* lossless;  // the address 30251 gets; "": members only
        const char* dolby;
    };
    const Case cases[] = {
        {R"(,"flac":{"display":true,"audio":{"id":30251,"baseUrl":"f","codecs":"flac"}},)"
         R"("dolby":{"type":1,"audio":[{"id":30250,"baseUrl":"d","codecs":"ec-3"}]})",
         {30280, 30232, 30251, 30250},
         "f",
         "d"},
        {R"(,"flac":{"display":true,"audio":null},"dolby":{"type":1,"audio":null})",
         {30280, 30232, 30251, 30250},
         "",
         ""},
        {R"(,"flac":{"display":true},"dolby":{"type":2,"audio":[]})",
         {30280, 30232, 30251, 30250},
         "",
         ""},
        // Not marked: the first AAC stream, as for any audio not offered.
        {R"(,"flac":null,"dolby":{"type":0,"audio":null})", {30280, 30232}, "a1", "a1"},
        {R"(,"flac":{"display":false,"audio":{"id":30251,"baseUrl":"f"}})",
         {30280, 30232},
         "a1",
         "a1"},
        {"", {30280, 30232}, "a1", "a1"},
    };
    for (const Case& c : cases) {
        site().overrideAnswer(
            "/x/player/playurl", 200,
            std::string(R"({"code":0,"data":{"support_formats":[{"quality":80}],"dash":{)"
                        R"("video":[{"id":80,"codecid":7,"baseUrl":"v"}],)"
                        R"("audio":[{"id":30280,"baseUrl":"a1"},{"id":30232,"baseUrl":"a2"}])") +
                c.dash + "}}}",
            "application/json");
        EXPECT_EQ(fetchQualityList(kOnePartBvid, kOnePartCid).audioIds, c.audioIds) << c.dash;
        for (const auto& [id, url] :
             {std::pair{"30251", c.lossless}, std::pair{"30250", c.dolby}}) {
            const StreamAddresses got =
                resolvePartStreams(kOnePartBvid, "", kOnePartCid, {"80", id});
            EXPECT_EQ(got.audio, url) << id << c.dash;
            EXPECT_EQ(got.membersOnly, std::string(url).empty()) << id << c.dash;
            EXPECT_EQ(got.video, "v") << id << c.dash;
        }
        EXPECT_EQ(resolvePartStreams(kOnePartBvid, "", kOnePartCid, {"80", "30232"}).audio, "a2");
    }
}

TEST_F(StreamFormatsTest, TheLocalSiteSendsLosslessAudioToMembersWhenAskedFor) {
    const std::string cid = "6401";
    struct Case {
        const char* cookie;
        int askedAudio;
        std::vector<int> audioIds;
        const char* fnval;
    };
    const Case cases[] = {
        {kMemberCookie, 30280, {30280, 30232, 30216}, "80"},
        {kMemberCookie, 30251, {30280, 30232, 30216, 30251, 30250}, "336"},
        {kPlainCookie, 30250, {30280, 30232, 30216, 30251, 30250}, "336"},
    };
    for (const Case& c : cases) {
        setUserCookie(c.cookie);
        FormatAsk ask;
        ask.audio = c.askedAudio;
        EXPECT_EQ(fetchQualityList(devsite::kLosslessBvid, cid, ask).audioIds, c.audioIds)
            << c.askedAudio;
        EXPECT_EQ(site().requestsTo("/x/player/playurl").back().query,
                  "cid=" + cid + "&bvid=" + devsite::kLosslessBvid + "&fourk=1&fnval=" + c.fnval);
    }
    setUserCookie(kMemberCookie);
    const StreamAddresses lossless =
        resolvePartStreams(devsite::kLosslessBvid, "", cid, {"80", "30251"});
    EXPECT_TRUE(lossless.audio.ends_with("-30251.m4s")) << lossless.audio;
    setUserCookie(kPlainCookie);
    EXPECT_TRUE(resolvePartStreams(devsite::kLosslessBvid, "", cid, {"80", "30251"}).membersOnly);
    // A video without them: the first AAC stream.
    const StreamAddresses plain =
        resolvePartStreams(kOnePartBvid, "", kOnePartCid, {"80", "30251"});
    EXPECT_EQ(plain.audio, streamUrl("30280"));
    EXPECT_FALSE(plain.membersOnly);
}

TEST_F(StreamFormatsTest, DolbyVisionAnd8KAreListedAndTakenOnlyWhenAskedFor) {
    setUserCookie(kMemberCookie);
    FormatAsk ultra;
    ultra.ultraFormats = true;
    const QualityList list = fetchQualityList(devsite::kCodecsBvid, kCodecsCid, ultra);
    ASSERT_GE(list.entries.size(), 2u);
    EXPECT_EQ(list.entries[0].quality, "127");
    EXPECT_EQ(list.entries[1].quality, "126");
    EXPECT_EQ(list.entries[1].codecIds, std::vector<int>{12});
    EXPECT_EQ(fetchQualityList(devsite::kCodecsBvid, kCodecsCid).entries.at(0).quality, "125");

    const StreamAddresses dolbyVision =
        resolvePartStreams(devsite::kCodecsBvid, "", kCodecsCid, {"126", ""});
    EXPECT_TRUE(dolbyVision.video.ends_with("-126-12.m4s")) << dolbyVision.video;
    const StreamAddresses eightK =
        resolvePartStreams(devsite::kCodecsBvid, "", kCodecsCid, {"127", ""});
    EXPECT_TRUE(eightK.video.ends_with("-127-12.m4s")) << eightK.video;
}

TEST_F(StreamFormatsTest, HdrComesInHevcAndAListedQualityWithoutStreamIsNotOffered) {
    setUserCookie(kMemberCookie);
    ASSERT_EQ(requestQualityList(devsite::kCodecsBvid, kCodecsCid), 8);
    const std::vector<Offer> list = offers();
    ASSERT_EQ(list[0].quality, "125");
    EXPECT_TRUE(list[0].available);
    ASSERT_EQ(list[3].quality, "112");
    EXPECT_FALSE(list[3].available);

    const StreamAddresses hdr =
        resolvePartStreams(devsite::kCodecsBvid, "", kCodecsCid, {"125", ""});
    EXPECT_TRUE(hdr.video.ends_with("-125-12.m4s")) << hdr.video;
    EXPECT_EQ(hdr.videoCodec, VideoCodec::Hevc);
    // The 1080P after the lone HDR stream is still taken in AVC.
    const StreamAddresses full =
        resolvePartStreams(devsite::kCodecsBvid, "", kCodecsCid, {"80", ""});
    EXPECT_TRUE(full.video.ends_with("-80.m4s")) << full.video;
    EXPECT_EQ(full.videoCodec, VideoCodec::Avc);
}

TEST_F(StreamFormatsTest, SwappedCodecsTextsDoNotMisleadTheChoice) {
    const StreamAddresses avc =
        resolvePartStreams(devsite::kSwappedCodecsBvid, "", kSwappedCid, {"80", ""});
    EXPECT_TRUE(avc.video.ends_with("-80.m4s")) << avc.video;
    EXPECT_EQ(avc.videoCodec, VideoCodec::Avc);
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

#include "video/listing/video_listing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "net/text_encoding.h"
#include "support/local_site.h"
#include "video/member_message.h"

namespace quivra {
namespace {

using devsite::uploaderBvid;

// Follows a listing in memory; afterPage runs once a page's entries arrived.
class RecordingView : public ListingView {
  public:
    void showListInfo(const ListInfo& info) override { infos.push_back(info); }
    void showEntries(size_t first, const std::vector<ListEntry>& entries) override {
        pages.emplace_back(first, entries.size());
        if (afterPage) afterPage(pages.size());
    }
    void showWaiting(const std::string& text) override { waits.push_back(localToUtf8(text)); }

    std::vector<ListInfo> infos;
    std::vector<std::pair<size_t, size_t>> pages;  // first, count
    std::vector<std::string> waits;
    std::function<void(size_t pagesSeen)> afterPage;
};

class VideoListingTest : public test::LocalSiteTest {
  protected:
    // The request for a list address given as its path on the local site (or short form).
    static ListingRequest requestFor(const std::string& path, const std::string& cookie = "") {
        const std::string text = path.front() == '/' ? site().baseUrl() + path : path;
        const auto address = recognizeListAddress(text, sharedState().site);
        EXPECT_TRUE(address) << text;
        ListingRequest request;
        if (address) request.address = *address;
        request.site = sharedState().site;
        request.cookie = cookie;
        request.timings.refusalWaitsMs = {40, 40, 40};
        request.timings.paceAfterRefusalMs = 20;
        return request;
    }

    static std::vector<std::string> queryValues(const std::string& path, const std::string& key) {
        std::vector<std::string> values;
        for (const auto& request : site().requestsTo(path)) {
            const std::string query = "&" + request.query;
            const size_t at = query.find("&" + key + "=");
            if (at == std::string::npos) {
                values.emplace_back();
                continue;
            }
            const size_t start = at + key.size() + 2;
            values.push_back(query.substr(start, query.find('&', start) - start));
        }
        return values;
    }
};

std::string asUtf8(const std::string& local) {
    return localToUtf8(local);
}

int unavailableCount(const ListingResult& result) {
    int count = 0;
    for (const ListEntry& entry : result.entries) count += !entry.unavailable.empty();
    return count;
}

struct KindCase {
    const char* name;
    std::string address;  // path on the local site, or a short form
    const char* cookie;
    bool member;
    const char* listName;
    size_t entries;
    int unavailable;
    const char* pagePath;  // the list endpoint
    size_t pageRequests;
};

class ListingKinds : public VideoListingTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(ListingKinds, ListsEveryPageInOrder) {
    const KindCase& c = GetParam();
    ListingRequest request = requestFor(c.address, c.cookie);
    request.member = c.member;
    RecordingView view;
    const ListingResult result = listVideos(request, &view);

    EXPECT_TRUE(result.complete) << asUtf8(result.reason);
    EXPECT_EQ(result.reason, "");
    EXPECT_EQ(asUtf8(result.info.name), c.listName);
    ASSERT_EQ(result.entries.size(), c.entries);
    EXPECT_EQ(result.info.total, static_cast<int>(c.entries));
    EXPECT_EQ(unavailableCount(result), c.unavailable);
    EXPECT_EQ(site().requestsTo(c.pagePath).size(), c.pageRequests);
    // The view saw the info once and every entry once, page after page.
    ASSERT_EQ(view.infos.size(), 1u);
    EXPECT_EQ(view.infos[0].name, result.info.name);
    size_t next = 0;
    for (const auto& [first, count] : view.pages) {
        EXPECT_EQ(first, next);
        next += count;
    }
    EXPECT_EQ(next, c.entries);
    EXPECT_TRUE(view.waits.empty());
    for (const ListEntry& entry : result.entries) {
        if (!entry.unavailable.empty()) continue;
        EXPECT_EQ(entry.bvid.size(), 12u) << asUtf8(entry.title);
        EXPECT_NE(entry.title, "");
        EXPECT_GT(entry.durationSeconds, 0) << asUtf8(entry.title);
        EXPECT_GT(entry.published, 1600000000) << asUtf8(entry.title);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ListingKinds,
    ::testing::Values(KindCase{"Uploader", std::string("/") + devsite::kUploaderMid + "/video", "",
                               false, "木子手作", 2000, 0, "/x/space/wbi/arc/search", 67},
                      KindCase{"Favourites",
                               std::string("/") + devsite::kUploaderMid +
                                   "/favlist?fid=" + devsite::kFavouritesId,
                               "", false, "收藏夹 · 周末做点小东西", 25, 2,
                               "/x/v3/fav/resource/list", 2},
                      KindCase{"Collection",
                               std::string("/") + devsite::kUploaderMid + "/lists/" +
                                   devsite::kCollectionId + "?type=season",
                               "", false, "木勺从零到一 (合集)", 35, 0,
                               "/x/polymer/web-space/seasons_archives_list", 2},
                      KindCase{"Series",
                               std::string("/") + devsite::kUploaderMid +
                                   "/channel/seriesdetail?sid=" + devsite::kSeriesId,
                               "", false, "周末小物 / 系列", 25, 0, "/x/series/archives", 2},
                      KindCase{"WatchLater", "/watchlater", devsite::kPlainCookie, false,
                               "稍后再看", 5, 0, "/x/v2/history/toview", 1},
                      KindCase{"SeasonPlainAccount", std::string("ss") + devsite::kSeasonId, "",
                               false, "山海之间 第一季", 12, 2, "/pgc/view/web/season", 1},
                      KindCase{"SeasonByEpisodeForAMember", "ep" + devsite::seasonEpisodeId(3),
                               devsite::kMemberCookie, true, "山海之间 第一季", 12, 0,
                               "/pgc/view/web/season", 1}),
    [](const auto& info) { return info.param.name; });

TEST_F(VideoListingTest, EntriesCarryWhatTheAnswersSay) {
    ListingRequest request = requestFor(std::string("ss") + devsite::kSeasonId);
    const ListingResult season = listVideos(request, nullptr);
    ASSERT_EQ(season.entries.size(), 12u);
    const ListEntry& third = season.entries[2];
    EXPECT_EQ(third.episodeNumber, 3);
    EXPECT_EQ(third.episodeId, devsite::seasonEpisodeId(3));
    EXPECT_EQ(asUtf8(third.title), "旧桥");
    EXPECT_NE(third.cid, "");
    EXPECT_EQ(third.unavailable, "");
    EXPECT_EQ(season.entries[10].unavailable, memberOnlyMessage());
    EXPECT_EQ(asUtf8(season.entries[10].badge), "会员");

    const ListingResult uploader = listVideos(requestFor("/20000"), nullptr);
    ASSERT_EQ(uploader.entries.size(), 2000u);
    EXPECT_EQ(uploader.entries[0].bvid, uploaderBvid(0));
    EXPECT_EQ(uploader.entries[1999].bvid, uploaderBvid(1999));
    EXPECT_EQ(asUtf8(uploader.entries[3].title), "手工日记 No.4 《问答》？ *精选*");
    EXPECT_EQ(asUtf8(uploader.entries[3].owner), "木子手作");
    EXPECT_GT(uploader.entries[0].published, uploader.entries[1].published);

    request = requestFor("/watchlater", devsite::kMemberCookie);
    const ListingResult later = listVideos(request, nullptr);
    ASSERT_EQ(later.entries.size(), 5u);
    EXPECT_EQ(later.entries[0].bvid, devsite::kTwelvePartBvid);
    EXPECT_EQ(later.entries[0].parts, 12);
    EXPECT_NE(site().requestsTo("/x/v2/history/toview")[0].header("Cookie").find("member-sessdata"),
              std::string::npos);

    const ListingResult favourites =
        listVideos(requestFor(std::string("ml") + devsite::kFavouritesId), nullptr);
    ASSERT_EQ(favourites.entries.size(), 25u);
    EXPECT_EQ(asUtf8(favourites.entries[6].unavailable), "已失效视频");
    EXPECT_EQ(asUtf8(favourites.entries[17].unavailable), "不是视频");
}

// The uploader's pages are signed; without a refusal nothing waits, whatever the pace.
TEST_F(VideoListingTest, SignedPagesNeverWaitWithoutARefusal) {
    ListingRequest request = requestFor("/20000/upload/video");
    request.timings = {};  // 5 s, 15 s, 45 s, one a second after a refusal
    const auto start = std::chrono::steady_clock::now();
    const ListingResult result = listVideos(request, nullptr);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(result.complete) << asUtf8(result.reason);
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_EQ(site().requestsTo("/x/web-interface/nav").size(), 1u);
    for (const std::string& rid : queryValues("/x/space/wbi/arc/search", "w_rid")) {
        EXPECT_EQ(rid.size(), 32u);
    }
}

TEST_F(VideoListingTest, RotatedKeysAreFetchedAgainAndThePageRetried) {
    RecordingView view;
    view.afterPage = [](size_t pages) {
        if (pages == 1 || pages == 40) site().rotateWbiKeys();
    };
    const ListingResult result = listVideos(requestFor("/20000"), &view);
    EXPECT_TRUE(result.complete) << asUtf8(result.reason);
    EXPECT_EQ(result.entries.size(), 2000u);
    EXPECT_TRUE(view.waits.empty());
    EXPECT_EQ(site().requestsTo("/x/web-interface/nav").size(), 3u);
    const auto pages = queryValues("/x/space/wbi/arc/search", "pn");
    ASSERT_EQ(pages.size(), 69u);
    EXPECT_EQ(pages[1], "2");
    EXPECT_EQ(pages[2], "2");  // the refused page again, with the new keys
}

// The listings of one run share the keys: the nav answer is fetched by the first, and again
// only when the keys in force changed.
TEST_F(VideoListingTest, ListingsSharingKeysFetchThemOnce) {
    const auto keys = std::make_shared<SigningKeys>();
    const auto list = [&keys] {
        ListingRequest request = requestFor("/20002");
        request.keys = keys;
        return listVideos(request, nullptr).complete;
    };
    const auto navs = [] { return site().requestsTo("/x/web-interface/nav").size(); };
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(list());
    EXPECT_EQ(navs(), 1u);
    site().rotateWbiKeys();
    EXPECT_TRUE(list());
    EXPECT_TRUE(list());
    site().rotateWbiKeys();  // back to the keys the other tests start from
    EXPECT_EQ(navs(), 2u);
    EXPECT_EQ(site().requestsTo("/x/space/wbi/arc/search").size(), 6u);
}

// A caller that knows the series' name (a subscription) spends no request on it.
TEST_F(VideoListingTest, ASeriesWhoseNameIsKnownSendsOnlyItsPages) {
    ListingRequest request = requestFor("/20000/lists/50001?type=series");
    request.nameKnown = true;
    const ListingResult result = listVideos(request, nullptr);
    EXPECT_TRUE(result.complete) << asUtf8(result.reason);
    EXPECT_EQ(result.entries.size(), 25u);
    EXPECT_TRUE(site().requestsTo("/x/series/series").empty());
    EXPECT_EQ(site().requestsTo("/x/series/archives").size(), 2u);
}

struct RefusalCase {
    const char* name;
    int code;
};

class ListingRefusals : public VideoListingTest,
                        public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ListingRefusals, AreWaitedOutAndTheListingGoesOnFromItsPage) {
    site().refuseListRequests(2, GetParam().code);
    ListingRequest request = requestFor("/20000/lists/40001?type=season");
    request.timings.refusalWaitsMs = {150, 150, 150};
    request.timings.paceAfterRefusalMs = 300;
    RecordingView view;
    const ListingResult result = listVideos(request, &view);

    EXPECT_TRUE(result.complete) << asUtf8(result.reason);
    EXPECT_EQ(result.entries.size(), 35u);
    EXPECT_EQ(view.waits, std::vector<std::string>{"请求过于频繁，1秒后继续"});
    const std::string path = "/x/polymer/web-space/seasons_archives_list";
    EXPECT_EQ(queryValues(path, "page_num"), (std::vector<std::string>{"1", "2", "2"}));
    site().refuseListRequests(0, 0);
}

INSTANTIATE_TEST_SUITE_P(Codes, ListingRefusals,
                         ::testing::Values(RefusalCase{"RiskCheck", -352},
                                           RefusalCase{"TooMany", -412},
                                           RefusalCase{"Http412", 412}),
                         [](const auto& info) { return info.param.name; });

TEST_F(VideoListingTest, AfterARefusalRequestsArePaced) {
    site().refuseListRequests(2, -412);
    ListingRequest request = requestFor("/20000/video");
    request.timings.refusalWaitsMs = {10, 10, 10};
    request.timings.paceAfterRefusalMs = 30;
    RecordingView view;
    view.afterPage = [](size_t pages) {
        if (pages == 2) site().refuseListRequests(0, 0);
    };
    const auto start = std::chrono::steady_clock::now();
    const ListingResult result = listVideos(request, &view);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(result.complete) << asUtf8(result.reason);
    // 67 pages and one retry, paced from the refusal on (page 2): 66 gaps of 30 ms.
    EXPECT_GE(took, std::chrono::milliseconds(66 * 30));
}

TEST_F(VideoListingTest, RefusalsOutlastingTheWaitsStopWithWhatWasListed) {
    RecordingView view;
    view.afterPage = [](size_t) { site().refuseListRequests(1, -412); };
    const ListingResult result = listVideos(requestFor("/20000"), &view);
    site().refuseListRequests(0, 0);

    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.entries.size(), 30u);
    EXPECT_EQ(view.waits.size(), 3u);
    EXPECT_NE(asUtf8(result.reason).find("-412"), std::string::npos) << asUtf8(result.reason);
    EXPECT_EQ(queryValues("/x/space/wbi/arc/search", "pn"),
              (std::vector<std::string>{"1", "2", "2", "2", "2"}));
}

TEST_F(VideoListingTest, StopEndsAWaitPromptly) {
    site().refuseListRequests(1, 412);
    ListingRequest request = requestFor("/20000/lists/40001");
    request.timings.refusalWaitsMs = {60000};
    std::atomic<bool> stop{false};
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const ListingResult result = listVideos(request, nullptr, &stop);
    const auto took = std::chrono::steady_clock::now() - start;
    stopper.join();
    site().refuseListRequests(0, 0);
    EXPECT_FALSE(result.complete);
    EXPECT_NE(result.reason, "");
    EXPECT_LT(took, std::chrono::seconds(2));
}

struct BadListCase {
    const char* name;
    std::string address;
    const char* cookie;
    size_t entries;
    bool complete;
    std::vector<const char*> inReason;
};

class BadLists : public VideoListingTest, public ::testing::WithParamInterface<BadListCase> {};

TEST_P(BadLists, EndWithAClearReasonAndKeepTheEntries) {
    const BadListCase& c = GetParam();
    const ListingResult result = listVideos(requestFor(c.address, c.cookie), nullptr);
    EXPECT_EQ(result.entries.size(), c.entries);
    EXPECT_EQ(result.complete, c.complete);
    EXPECT_NE(result.info.name, "");
    for (const char* part : c.inReason) {
        EXPECT_NE(asUtf8(result.reason).find(part), std::string::npos) << asUtf8(result.reason);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadLists,
    ::testing::Values(
        BadListCase{"RepeatedPage", "/20000/lists/40002?type=season", "", 30, false, {"第2页"}},
        BadListCase{
            "CountBeyondThePages", "/20000/lists/50002?type=series", "", 20, false, {"100", "20"}},
        BadListCase{"EmptyUploader", "/20002", "", 0, true, {}},
        BadListCase{"SomeoneElsesPrivateFolder", "ml30002", "", 0, false, {"访问权限不足（-403）"}},
        BadListCase{"WatchLaterWithoutLogin", "/watchlater", "", 0, false, {"登录", "-101"}},
        BadListCase{"UnknownSeason", "ss69999", "", 0, false, {"-404"}}),
    [](const auto& info) { return info.param.name; });

TEST_F(VideoListingTest, APageThatIsNotJsonKeepsTheEntriesBefore) {
    RecordingView view;
    view.afterPage = [](size_t pages) {
        if (pages == 1) site().overrideAnswer("/x/v3/fav/resource/list", 200, "<html>busy</html>");
    };
    const ListingResult result = listVideos(requestFor("ml30001"), &view);
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.entries.size(), 20u);
    EXPECT_EQ(asUtf8(result.reason), "第2页：回答不是JSON");
}

// One entry a page, each new, under a count of 100: never repeating, never ending.
std::string endlessPage(int number) {
    const std::string n = std::to_string(number);
    return R"({"code":0,"data":{"meta":{"name":"endless","total":100},"archives":[{"aid":)" + n +
           R"(,"bvid":"BV1En4000)" + std::string(3 - n.size(), '0') + n +
           R"(","title":"t","duration":1,"pubdate":1700000000}],"page":{"total":100}}})";
}

TEST_F(VideoListingTest, PagesRunningPastTheCountEnd) {
    const std::string path = "/x/polymer/web-space/seasons_archives_list";
    site().overrideAnswer(path, 200, endlessPage(1), "application/json", 1);
    RecordingView view;
    view.afterPage = [&path](size_t pages) {
        site().overrideAnswer(path, 200, endlessPage(static_cast<int>(pages) + 1),
                              "application/json", 1);
    };
    const ListingResult result = listVideos(requestFor("/20000/lists/40001"), &view);
    // 100 entries fill four pages of 30; a fifth may hold the rest, a sixth is not read.
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.entries.size(), 5u);
    EXPECT_EQ(site().requestsTo(path).size(), 5u);
    EXPECT_NE(asUtf8(result.reason).find("100"), std::string::npos) << asUtf8(result.reason);
}

TEST_F(VideoListingTest, UploaderLengthsReadAsClockTimes) {
    const std::vector<std::pair<const char*, int>> lengths = {
        {"12:34", 754}, {"1:02:03", 3723}, {"00:07", 7},   {"", -1},
        {"5:x1", -1},   {"99999:00", -1},  {"1:1:1:1", -1}};
    std::string vlist;
    for (size_t i = 0; i < lengths.size(); ++i) {
        vlist += std::string(i ? "," : "") + R"({"aid":1,"bvid":"BV1Ln4000)" + std::to_string(i) +
                 R"(00","title":"t","created":1700000000,"length":")" + lengths[i].first +
                 R"(","author":"a"})";
    }
    site().overrideAnswer("/x/space/wbi/arc/search", 200,
                          R"({"code":0,"data":{"list":{"vlist":[)" + vlist +
                              R"(]},"page":{"count":7,"pn":1,"ps":30}}})",
                          "application/json");
    const ListingResult result = listVideos(requestFor("/20000"), nullptr);
    ASSERT_EQ(result.entries.size(), lengths.size()) << asUtf8(result.reason);
    for (size_t i = 0; i < lengths.size(); ++i) {
        EXPECT_EQ(result.entries[i].durationSeconds, lengths[i].second) << lengths[i].first;
    }
}

TEST_F(VideoListingTest, AnIdThatIsNotANumberSendsNothing) {
    const ListingResult result = listVideos(requestFor("/20000/favlist?fid=3000x"), nullptr);
    EXPECT_FALSE(result.complete);
    EXPECT_NE(asUtf8(result.reason).find("3000x"), std::string::npos);
    EXPECT_TRUE(site().requests().empty());
}

TEST_F(VideoListingTest, TenThousandVideos) {
    const ListingResult result = listVideos(requestFor("/20003"), nullptr);
    EXPECT_TRUE(result.complete) << asUtf8(result.reason);
    ASSERT_EQ(result.entries.size(), 10000u);
    EXPECT_EQ(result.entries[9999].bvid, uploaderBvid(9999));
}

}  // namespace
}  // namespace quivra

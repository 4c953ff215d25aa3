// Many addresses at once on the local site: the default qualities and their fallback for
// an account without membership reach the bound parts, at most two parses run at once,
// and an address that fails says why while the others go on.
#include "download/batch_download.h"
#include "recording_batch_view.h"
#include "support/program_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <thread>

#include "base/shared_state.h"
#include "devsite/dev_site.h"
#include "download/plan/default_quality.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"
#include "support/local_site.h"
#include "video/video_parse.h"

namespace quivra {
namespace {

QualityList offered(std::initializer_list<std::pair<int, bool>> qualities) {
    QualityList list;
    for (const auto& [quality, available] : qualities) {
        list.entries.push_back(
            {std::to_string(quality), "q" + std::to_string(quality), available, {}});
    }
    list.count = static_cast<int>(list.entries.size());
    return list;
}

TEST(ChooseDefaultQualities, TheBestAllowedAtMostTheCeiling) {
    const QualityList plain =
        offered({{120, false}, {116, false}, {80, true}, {64, true}, {32, true}, {16, true}});
    struct Case {
        QualityList qualities;
        const char* ceiling;
        int quality;
    };
    const Case cases[] = {
        {plain, "", 80},
        {plain, "最高可用", 80},
        {plain, "4K", 80},
        {plain, "1080P", 80},
        {plain, "720P", 64},
        {plain, "360P", 16},
        {plain, "8K", 80},  // not a name 默认视频质量 offers: no ceiling
        // Only higher ones offered: the nearest above.
        {offered({{80, true}, {64, true}}), "480P", 64},
        {offered({{120, false}, {80, false}}), "", -1},
        {offered({}), "", -1},
    };
    for (const Case& c : cases) {
        DownloadSettings settings = defaultDownloadSettings();
        settings.defaultVideoQuality = localText(c.ceiling);
        const DefaultChoice choice = chooseDefaultQualities(c.qualities, settings);
        EXPECT_EQ(choice.videoQuality, c.quality) << c.ceiling;
        EXPECT_EQ(choice.refusal.empty(), c.quality >= 0) << c.ceiling;
    }
}

using test::RecordingBatchView;

class BatchDownloadTest : public test::LocalSiteTest {
  protected:
    DownloadSettings settings(const char* video = "", const char* audio = "") const {
        DownloadSettings s = defaultDownloadSettings();
        s.directory = (folder() / "batch").string();
        s.defaultVideoQuality = localText(video);
        s.defaultAudioQuality = localText(audio);
        return s;
    }

    std::string add(const std::string& address, const DownloadSettings& chosen,
                    DownloadQueue& queue) const {
        return addParsedVideo(parseVideo(address, formatAskOf(chosen)), chosen,
                              sharedState().site.main, queue);
    }

    // The site and the login of the batch's list addresses.
    static ListingRequest lists() {
        ListingRequest request;
        request.site = sharedState().site;
        request.cookie = sharedState().user.get().cookie;
        return request;
    }

    ThreadPool idlePool_;  // never started: parts stay queued where the test looks at them
    std::shared_ptr<DownloadQueue> queue_ =
        std::make_shared<DownloadQueue>(idlePool_, test::programJob());
};

TEST_F(BatchDownloadTest, DefaultQualitiesAndTheMemberFallbackReachEveryBoundPart) {
    struct Case {
        const char* cookie;
        const char* video;
        const char* audio;
        int quality;
        const char* name;
        int audioStream;
    };
    const Case cases[] = {
        {"", "最高可用", "", 80, "1080P 高清", 30280},
        {"", "4K", "中", 80, "1080P 高清", 30232},
        {"", "480P", "低", 32, "480P 清晰", 30216},
        {devsite::kMemberCookie, "最高可用", "高", 120, "4K 超清", 30280},
        {devsite::kMemberCookie, "1080P60", "", 116, "1080P60 高帧率", 30280},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cookie) + " " + c.video);
        setUserCookie(c.cookie);
        DownloadQueue queue(idlePool_, test::programJob());
        const std::string shown = add(devsite::kThreePartBvid, settings(c.video, c.audio), queue);
        EXPECT_EQ(localToUtf8(shown), "已加入3个分P");
        const std::vector<DownloadItem> items = queue.items();
        ASSERT_EQ(items.size(), 3u);
        for (const DownloadItem& item : items) {
            EXPECT_EQ(item.request.videoQuality, c.quality);
            EXPECT_EQ(localToUtf8(item.request.qualityName), c.name);
            EXPECT_EQ(item.request.audioQuality, c.audioStream);
            EXPECT_EQ(localToUtf8(item.request.siteTitle), "三段 练习");
            EXPECT_TRUE(std::filesystem::is_directory(
                std::filesystem::path(localToUtf8(item.request.outputPath)).parent_path()));
        }
    }
}

TEST_F(BatchDownloadTest, LosslessAndDolbyDefaultsAreTakenOnlyWhereTheVideoHasThem) {
    struct Case {
        const char* bvid;
        const char* cookie;
        const char* audio;
        int audioStream;
    };
    const Case cases[] = {
        {devsite::kLosslessBvid, devsite::kMemberCookie, "无损", 30251},
        {devsite::kLosslessBvid, devsite::kMemberCookie, "杜比全景声", 30250},
        // Marked for members: the part fails with the member message, not with 高.
        {devsite::kLosslessBvid, devsite::kPlainCookie, "无损", 30251},
        {devsite::kOnePartBvid, devsite::kMemberCookie, "无损", 30280},
        {devsite::kOnePartBvid, devsite::kMemberCookie, "杜比全景声", 30280},
        {devsite::kOnePartBvid, devsite::kMemberCookie, "低", 30216},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.bvid) + " " + c.audio);
        setUserCookie(c.cookie);
        DownloadQueue queue(idlePool_, test::programJob());
        add(c.bvid, settings("", c.audio), queue);
        const std::vector<DownloadItem> items = queue.items();
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].request.audioQuality, c.audioStream);
    }
}

// 写入视频信息 and 保存封面 reach the parts a batch adds, as they reach the buttons' parts.
TEST_F(BatchDownloadTest, TagsAndCoverFollowTheSettings) {
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        DownloadSettings chosen = settings();
        chosen.writeTags = chosen.saveCover = on;
        DownloadQueue queue(idlePool_, test::programJob());
        add(devsite::kThreePartBvid, chosen, queue);
        ASSERT_EQ(queue.items().size(), 3u);
        for (const DownloadItem& item : queue.items()) {
            EXPECT_EQ(item.request.tags.has_value(), on);
            EXPECT_EQ(item.request.coverAddress.empty(), !on);
        }
    }
}

// An answer listing no part is the same outcome in every place: the batch row says what the
// main window's status line says.
TEST_F(BatchDownloadTest, AVideoListingNoPartSaysWhatTheMainWindowSays) {
    site().overrideAnswer("/x/web-interface/view", 200,
                          R"({"code":0,"data":{"videos":0,"cid":7,"pages":[]}})",
                          "application/json");
    DownloadQueue queue(idlePool_, test::programJob());
    const std::string shown = add(devsite::kOnePartBvid, settings(), queue);
    EXPECT_EQ(localToUtf8(shown), "解析完毕，共0条视频");
    EXPECT_TRUE(queue.items().empty());
}

TEST_F(BatchDownloadTest, AtMostTwoParsesAtOnceAndAFailedAddressLetsTheOthersOn) {
    constexpr int kDelayMs = 300;
    site().setDelayMs("/x/web-interface/view", kDelayMs);
    std::vector<std::string> addresses = {"BV1zzzzzzzzz", localText("没有地址")};
    for (int i = 0; i < 6; ++i) addresses.push_back(devsite::batchBvid(i));
    auto view = std::make_shared<RecordingBatchView>();
    const auto began = std::chrono::steady_clock::now();
    BatchRun::start(addresses, settings(), lists(), queue_, view);
    ASSERT_TRUE(view->waitFinished());
    const auto took = std::chrono::steady_clock::now() - began;
    site().setDelayMs("/x/web-interface/view", 0);
    // Seven addresses reach the site, two at a time: four rounds at the least.
    EXPECT_GE(took, std::chrono::milliseconds(4 * kDelayMs - 50));

    const std::map<size_t, std::vector<std::string>> states = view->states();
    ASSERT_EQ(states.size(), addresses.size());
    EXPECT_EQ(states.at(0), (std::vector<std::string>{"解析中", "解析失败：视频不存在（-404）"}));
    EXPECT_EQ(states.at(1),
              (std::vector<std::string>{"解析中", "解析失败：请输入正确的视频地址、bvid、avid"}));
    std::set<std::string> videos;
    for (size_t i = 2; i < addresses.size(); ++i) {
        EXPECT_EQ(states.at(i), (std::vector<std::string>{"解析中", "已加入2个分P"}));
    }
    for (const DownloadItem& item : queue_->items()) videos.insert(item.request.bvid);
    EXPECT_EQ(queue_->items().size(), 12u);
    EXPECT_EQ(videos.size(), 6u);
}

// A list address expands to the videos it can download, added into the list's folder; its
// row says how far the listing got and ends with what was added, and why a listing that
// stopped early stopped.
TEST_F(BatchDownloadTest, AListAddressExpandsToItsVideosInTheListsFolder) {
    const std::vector<std::string> addresses = {"ml" + std::string(devsite::kFavouritesId),
                                                sharedState().site.space + "/" +
                                                    devsite::kUploaderMid + "/lists/" +
                                                    devsite::kShortSeriesId + "?type=series"};
    auto view = std::make_shared<RecordingBatchView>();
    BatchRun::start(addresses, settings(), lists(), queue_, view);
    ASSERT_TRUE(view->waitFinished());

    std::map<std::string, int> parts;                     // by the list's folder
    std::map<std::string, std::set<std::string>> videos;  // by the list's folder
    for (const DownloadItem& item : queue_->items()) {
        const std::filesystem::path output(localToUtf8(item.request.outputPath));
        const std::string list = output.parent_path().parent_path().filename().string();
        ++parts[list];
        videos[list].insert(item.request.bvid);
    }
    ASSERT_EQ(videos.size(), 2u);
    const std::string favouritesFolder = "收藏夹___周末做点小东西";
    EXPECT_EQ(videos[favouritesFolder].size(), 23u);
    const std::map<size_t, std::vector<std::string>> states = view->states();
    const std::vector<std::string>& favourites = states.at(0);
    EXPECT_EQ(favourites.back(), "已加入" + std::to_string(parts[favouritesFolder]) + "个分P");
    EXPECT_NE(std::find(favourites.begin(), favourites.end(), "已列出25/25"), favourites.end());
    const std::string& series = states.at(1).back();
    EXPECT_EQ(std::prev(videos.end())->second.size() + videos.begin()->second.size(), 43u);
    EXPECT_TRUE(series.starts_with(
        "已加入" + std::to_string(queue_->items().size() - parts[favouritesFolder]) + "个分P；"))
        << series;
    EXPECT_NE(series.find("100"), std::string::npos) << series;
}

// A list address alone still has its videos parsed two at a time, never more.
TEST_F(BatchDownloadTest, AListsVideosAreParsedTwoAtATime) {
    // Each view answer is held long enough that a third parse could only start, and a
    // second only wait, while two are held.
    constexpr int kHoldMs = 3000;
    site().setDelayMs("/x/web-interface/view", kHoldMs);
    auto view = std::make_shared<RecordingBatchView>();
    const auto run = BatchRun::start({sharedState().site.space + "/" + devsite::kUploaderMid +
                                      "/lists/" + devsite::kShortSeriesId + "?type=series"},
                                     settings(), lists(), queue_, view);
    const auto viewRequests = [] { return site().requestsTo("/x/web-interface/view").size(); };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHoldMs / 2);
    while (viewRequests() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(viewRequests(), 2u);  // two at once, before either was answered
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(viewRequests(), 2u);  // and never a third
    run->stop();
    ASSERT_TRUE(view->waitFinished());
    site().setDelayMs("/x/web-interface/view", 0);
}

}  // namespace
}  // namespace quivra

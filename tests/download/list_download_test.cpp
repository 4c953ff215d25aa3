// A list's downloads: its folder, the chosen videos parsed two at a time into it, and a
// season's episodes downloaded through the local site as the parts of one folder.
#include "download/list_download.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "base/shared_state.h"
#include "devsite/dev_site.h"
#include "download/thread_pool.h"
#include "job_fixture.h"
#include "net/text_encoding.h"
#include "recording_batch_view.h"
#include "support/local_site.h"
#include "support/program_job.h"
#include "video/listing/entry_filter.h"
#include "video/member_message.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;
using test::RecordingBatchView;

TEST(ListDownloadSettings, TheListsFolderIsItsNameCleanedAndASeasonIsItsOwnFolder) {
    const std::string longName(300, 'x');
    struct Case {
        ListKind kind;
        std::string name;  // UTF-8
        std::string directory;
    };
    const Case cases[] = {
        {ListKind::Uploader, "某UP主", "/d/某UP主"},
        {ListKind::Favourites, "我的 收藏/夹 (1)", "/d/我的_收藏_夹__1_"},
        {ListKind::WatchLater, "稍后再看", "/d/稍后再看"},
        {ListKind::Collection, "", "/d/视频列表"},
        {ListKind::Series, longName, "/d/" + longName.substr(0, 255)},
        {ListKind::Season, "番剧 名", "/d"},  // its title names its video folder
    };
    for (const Case& c : cases) {
        DownloadSettings settings = defaultDownloadSettings();
        settings.directory = "/d";
        ListInfo info;
        info.kind = c.kind;
        info.name = utf8ToLocalText(c.name);
        EXPECT_EQ(localToUtf8(listDownloadSettings(settings, info).directory), c.directory)
            << c.name;
        // A 文件名格式 with {listName} places the list itself: no folder is added twice.
        settings.fileNameTemplate = "{listName}/{videoTitle}/{pageNumberWithZero}";
        EXPECT_EQ(listDownloadSettings(settings, info).directory, "/d") << c.name;
    }
}

class ListDownloadTest : public test::LocalSiteTest {
  protected:
    DownloadSettings settings() const {
        DownloadSettings s = defaultDownloadSettings();
        s.directory = (folder() / "lists").string();
        return s;
    }

    ThreadPool idlePool_;  // never started: parts stay queued where the test looks at them
    std::shared_ptr<DownloadQueue> queue_ =
        std::make_shared<DownloadQueue>(idlePool_, test::programJob());
};

// Each chosen entry's state reaches the view by its place among the chosen; a removed video
// is never asked of the site.
TEST_F(ListDownloadTest, ChosenVideosGoIntoTheListsFolder) {
    ListingResult listing;
    listing.info.kind = ListKind::Favourites;
    listing.info.name = localText("我的 收藏");
    for (int i = 0; i < 4; ++i) {
        ListEntry entry;
        entry.bvid = devsite::batchBvid(i);
        listing.entries.push_back(entry);
    }
    listing.entries[3].unavailable = localText("已失效视频");
    auto view = std::make_shared<RecordingBatchView>();
    startListDownload(listing, {2, 3, 0}, settings(), sharedState().site.main, queue_, view);
    ASSERT_TRUE(view->waitFinished());

    const std::map<size_t, std::vector<std::string>> states = view->states();
    EXPECT_EQ(states.at(0), (std::vector<std::string>{"解析中", "已加入2个分P"}));
    EXPECT_EQ(states.at(1), (std::vector<std::string>{"已失效视频"}));
    EXPECT_EQ(states.at(2), (std::vector<std::string>{"解析中", "已加入2个分P"}));
    EXPECT_EQ(site().requestsTo("/x/web-interface/view").size(), 2u);
    std::set<std::string> videos;
    for (const DownloadItem& item : queue_->items()) {
        videos.insert(item.request.bvid);
        const fs::path output = fs::path(localToUtf8(item.request.outputPath));
        EXPECT_EQ(output.parent_path().parent_path(), folder() / "lists" / "我的_收藏");
    }
    EXPECT_EQ(videos, (std::set<std::string>{devsite::batchBvid(0), devsite::batchBvid(2)}));
}

// A season listed for a plain account: episodes 1 to 10 are chosen and planned as the
// numbered parts of the season's folder; a members-only one is never asked of the site.
TEST_F(ListDownloadTest, ASeasonsEpisodesAreTheNumberedPartsOfItsFolder) {
    ListingRequest request;
    request.address =
        *recognizeListAddress("ss" + std::string(devsite::kSeasonId), sharedState().site);
    request.site = sharedState().site;
    const ListingResult listing = listVideos(request, nullptr);
    ASSERT_TRUE(listing.complete) << localToUtf8(listing.reason);
    std::vector<size_t> chosen = filterEntries(listing.entries, {});
    ASSERT_EQ(chosen.size(), 10u);
    chosen.push_back(devsite::kFirstMembersEpisode - 1);
    auto view = std::make_shared<RecordingBatchView>();
    startListDownload(listing, chosen, settings(), sharedState().site.main, queue_, view);
    ASSERT_TRUE(view->waitFinished());

    const std::map<size_t, std::vector<std::string>> states = view->states();
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(states.at(i).back(), "已加入1个分P") << i;
    EXPECT_EQ(states.at(10).back(), localToUtf8(memberOnlyMessage()));
    const std::vector<DownloadItem> items = queue_->items();
    ASSERT_EQ(items.size(), 10u);
    std::set<std::string> names;
    for (const DownloadItem& item : items) {
        const fs::path output = fs::path(localToUtf8(item.request.outputPath));
        EXPECT_EQ(output.parent_path(), folder() / "lists" / "山海之间_第一季");
        names.insert(output.filename().string().substr(0, 3));
        EXPECT_EQ(item.request.episodeId, devsite::seasonEpisodeId(item.request.pageNumber));
    }
    EXPECT_EQ(names.size(), 10u);
    EXPECT_TRUE(names.contains("01_") && names.contains("10_"));
    for (const auto& asked : site().requestsTo("/pgc/player/web/playurl")) {
        EXPECT_EQ(asked.query.find(devsite::seasonEpisodeId(devsite::kFirstMembersEpisode)),
                  std::string::npos);
    }
}

// The title and page tags of an MP4, as ffprobe reads them (UTF-8).
std::map<std::string, std::string> titleAndPage(const fs::path& file) {
    const std::string out =
        runCommand("ffprobe -v error -show_entries format_tags=title,comment -of default=nw=1 " +
                   shellQuote(file.string()));
    std::map<std::string, std::string> tags;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (line.starts_with("TAG:") && equals != std::string::npos) {
            tags[line.substr(4, equals - 4)] = line.substr(equals + 1);
        }
    }
    return tags;
}

class SeasonDownloadTest : public test::JobSiteTest {};

// Downloaded for real: an episode's MP4 carries its own title and page; one for members
// (the listing believed in a membership the account no longer has) fails with the member
// message and is not retried.
TEST_F(SeasonDownloadTest, AnEpisodeIsTaggedAsItselfAndAMembersOnlyOneFails) {
    sharedState().user.update([](UserRecord& user) { user.cookie = devsite::kPlainCookie; });
    ListingRequest request;
    request.address = *recognizeListAddress("ep" + devsite::seasonEpisodeId(3), sharedState().site);
    request.site = sharedState().site;
    request.cookie = devsite::kPlainCookie;
    request.member = true;
    const ListingResult listing = listVideos(request, nullptr);
    ASSERT_EQ(listing.entries.size(), size_t{devsite::kSeasonEpisodeCount});

    ThreadPool pool;
    ASSERT_TRUE(pool.start(2));
    auto queue = std::make_shared<DownloadQueue>(pool, job());
    queue->setRetryPolicy({2, {std::chrono::milliseconds(10)}});
    DownloadSettings settings = sharedState().download.get();
    settings.writeTags = true;
    auto view = std::make_shared<RecordingBatchView>();
    const size_t members = devsite::kFirstMembersEpisode - 1;
    startListDownload(listing, {1, members}, settings, sharedState().site.main, queue, view);
    ASSERT_TRUE(view->waitFinished());
    ASSERT_EQ(queue->items().size(), 2u);
    ASSERT_TRUE(waitUntil([&] {
        const std::vector<DownloadItem> items = queue->items();
        return isOver(items[0].state) && isOver(items[1].state);
    }));

    for (const DownloadItem& item : queue->items()) {
        const std::string& title = listing.entries[item.request.pageNumber - 1].title;
        if (item.request.pageNumber == devsite::kFirstMembersEpisode) {
            EXPECT_EQ(item.state, ItemState::Failed);
            EXPECT_EQ(localToUtf8(item.errorText), localToUtf8(memberOnlyMessage()));
            EXPECT_EQ(item.retry, 0);
            continue;
        }
        ASSERT_EQ(item.state, ItemState::Done) << localToUtf8(item.errorText);
        const fs::path output = fs::path(localToUtf8(item.request.outputPath));
        EXPECT_EQ(output.parent_path().filename(), "山海之间_第一季");
        EXPECT_TRUE(output.filename().string().starts_with("02_"));
        EXPECT_EQ(probe(output).audio, 1);
        EXPECT_EQ(
            titleAndPage(output),
            (std::map<std::string, std::string>{
                {"title", localToUtf8(title)},
                {"comment", site().baseUrl() + "/bangumi/play/ep" + devsite::seasonEpisodeId(2)}}));
    }
    pool.stop(1, 60000);
}

}  // namespace
}  // namespace quivra

// A list's downloads: its folder, the chosen videos parsed two at a time into it, and a
// season's episodes downloaded through the local site as the parts of one folder.
#include "download/list_download.h"

#include <gtest/gtest.h>

#include <set>

#include "base/shared_state.h"
#include "devsite/dev_site.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"
#include "recording_batch_view.h"
#include "support/local_site.h"
#include "support/program_job.h"

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

}  // namespace
}  // namespace quivra

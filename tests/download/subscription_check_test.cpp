// A subscription's check against the local site and a real store: what is new goes into
// the download list once, with its mark, however often it is checked.
#include "download/subscription/subscription_check.h"

#include <gtest/gtest.h>

#include <ctime>

#include "base/shared_state.h"
#include "devsite/dev_site.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"
#include "support/local_site.h"
#include "support/program_job.h"
#include "support/temp_folder.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;

class SubscriptionCheckTest : public test::LocalSiteSuite {
  protected:
    // A site of its own for each test: the videos one adds stay on its site.
    static void SetUpTestSuite() {}
    void SetUp() override {
        startSite(test::processFolder("quivra-subscription-test"));
        ASSERT_NO_FATAL_FAILURE(resetRecords());
        fs::remove_all(folder() / "downloads");
        for (const char* file : {"downloads.db", "downloads.db-wal", "downloads.db-shm"})
            fs::remove(folder() / file);
    }
    void TearDown() override { stopSite(); }

    static std::string storePath() { return (folder() / "downloads.db").string(); }

    // One program's run: its list (parts stay queued) over the store, and its checks.
    struct Run {
        Run() {
            StoreOpening opening = DownloadStore::open(storePath());
            queue = std::make_unique<DownloadQueue>(
                pool, test::programJob(), std::move(opening.store), std::move(opening.items));
            subscriptions = SubscriptionStore::open(storePath()).store;
        }
        CheckOutcome check(std::int64_t id) {
            DownloadSettings settings = defaultDownloadSettings();
            ListingRequest lists;
            lists.site = sharedState().site;
            lists.keys = keys;
            CheckContext context{*subscriptions, *queue,       settings,
                                 lists,          leaseOwner(), std::time(nullptr)};
            return checkSubscription(*subscriptions->find(id), context);
        }
        std::vector<std::string> bvids() const {
            std::vector<std::string> listed;
            for (const DownloadItem& item : queue->items()) listed.push_back(item.request.bvid);
            return listed;
        }
        ThreadPool pool;  // never started
        std::unique_ptr<DownloadQueue> queue;
        std::unique_ptr<SubscriptionStore> subscriptions;
        std::shared_ptr<SigningKeys> keys = std::make_shared<SigningKeys>();
    };

    static std::int64_t subscribe(const std::string& path, bool backCatalogue = false) {
        Subscription subscription;
        subscription.address = site().baseUrl() + path;
        subscription.kind = recognizeListAddress(subscription.address, sharedState().site)->kind;
        subscription.name = "list";
        subscription.folder = (folder() / "downloads" / "list").string();
        subscription.since = std::time(nullptr);
        subscription.backCatalogue = backCatalogue;
        return SubscriptionStore::open(storePath()).store->add(subscription);
    }
};

TEST_F(SubscriptionCheckTest, NewVideosAreAddedOnceAcrossRestarts) {
    const std::int64_t id = subscribe("/20000");
    {
        Run run;
        const CheckOutcome nothing = run.check(id);
        EXPECT_EQ(nothing.failure, "");
        EXPECT_EQ(nothing.newVideos, 0);
        EXPECT_EQ(localToUtf8(nothing.checked.status), "没有新视频");
        // Nothing new: the one page that reached back before the subscription.
        EXPECT_EQ(site().requestsTo("/x/space/wbi/arc/search").size(), 1u);
        const std::string first = site().addNewVideo();
        const std::string second = site().addNewVideo();
        const CheckOutcome found = run.check(id);
        EXPECT_EQ(found.newVideos, 2);
        EXPECT_EQ(localToUtf8(found.checked.status), "发现2个新视频");
        EXPECT_EQ(run.bvids(), (std::vector<std::string>{second, first}));
        EXPECT_EQ(run.check(id).newVideos, 0);
        EXPECT_EQ(site().requestsTo("/x/web-interface/nav").size(), 1u);
    }
    Run restarted;
    EXPECT_EQ(restarted.check(id).newVideos, 0);
    const std::string third = site().addNewVideo();
    EXPECT_EQ(restarted.check(id).newVideos, 1);
    EXPECT_EQ(restarted.bvids().size(), 3u);
    EXPECT_EQ(restarted.bvids().back(), third);
    const Subscription stored = *restarted.subscriptions->find(id);
    EXPECT_EQ(stored.newCount, 1);
    EXPECT_EQ(stored.nextCheck, stored.lastCheck + kDefaultCheckInterval);
}

TEST_F(SubscriptionCheckTest, BackCatalogueTakesTheOldEpisodesOnlyWhenAsked) {
    struct Case {
        bool backCatalogue;
        int added;  // of 12 episodes, two for members only
        const char* status;
    };
    for (const Case c :
         {Case{false, 0, "没有新视频"}, Case{true, 10, "发现10个新视频，2个无法下载"}}) {
        const std::int64_t id = subscribe("/bangumi/play/ss60001", c.backCatalogue);
        Run run;
        const CheckOutcome outcome = run.check(id);
        EXPECT_EQ(outcome.newVideos, c.added) << c.backCatalogue;
        EXPECT_EQ(localToUtf8(outcome.checked.status), c.status);
        // The members' episodes are noted once; the others are seen with their parts.
        EXPECT_EQ(run.check(id).newVideos, 0);
        EXPECT_EQ(run.subscriptions->seenVideos(id).size(), c.backCatalogue ? 12u : 0u);
        run.queue->remove([&] {
            std::vector<std::int64_t> ids;
            for (const DownloadItem& item : run.queue->items()) ids.push_back(item.id);
            return ids;
        }());
    }
}

// A second subscription into the same folder finds the first one's file: seen, not fetched.
TEST_F(SubscriptionCheckTest, AVideoWhoseFileIsThereIsSeenWithoutParts) {
    const std::int64_t first = subscribe("/20000");
    const std::int64_t second = subscribe("/medialist/detail/ml30001");
    const std::string video = site().addNewVideo();
    Run run;
    ASSERT_EQ(run.check(first).newVideos, 1);
    const std::string file = localToUtf8(run.queue->items().front().request.outputPath);
    fs::create_directories(fs::path(file).parent_path());
    test::writeBytes(file, "a finished part");
    const CheckOutcome outcome = run.check(second);
    EXPECT_EQ(outcome.newVideos, 0);
    EXPECT_EQ(run.bvids(), std::vector<std::string>{video});
    EXPECT_EQ(run.subscriptions->seenVideos(second).count(video), 1u);
}

TEST_F(SubscriptionCheckTest, AListThatHasGoneKeepsTheSubscriptionWithItsReason) {
    const std::int64_t id = subscribe("/medialist/detail/ml30002");
    Run run;
    const CheckOutcome outcome = run.check(id);
    EXPECT_NE(outcome.failure, "");
    EXPECT_TRUE(localToUtf8(outcome.checked.status).starts_with("检查失败：")) << outcome.failure;
    EXPECT_NE(localToUtf8(outcome.checked.status).find("-403"), std::string::npos);
    const std::optional<Subscription> kept = run.subscriptions->find(id);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->status, outcome.checked.status);
    EXPECT_EQ(kept->nextCheck, kept->lastCheck + kDefaultCheckInterval);
}

TEST_F(SubscriptionCheckTest, AnotherProgramsCheckIsLeftAlone) {
    const std::int64_t id = subscribe("/20000");
    Run run;
    ASSERT_TRUE(run.subscriptions->takeLease(id, std::to_string(::getpid()) + ":other",
                                             std::time(nullptr)));
    site().addNewVideo();
    const CheckOutcome outcome = run.check(id);
    EXPECT_FALSE(outcome.leased);
    EXPECT_TRUE(site().requestsTo("/x/space/wbi/arc/search").empty());
    EXPECT_TRUE(run.bvids().empty());
}

}  // namespace
}  // namespace quivra

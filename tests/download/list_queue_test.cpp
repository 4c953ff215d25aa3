// The download list's own behaviour with a job of the test's own (no site, engine or
// ffmpeg): one item per output path, the retries, and the exchange between two lists on
// one downloads.db.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

#include "download/list/download_queue.h"
#include "download/list/download_store.h"
#include "download/thread_pool.h"
#include "job_fixture.h"
#include "support/program_job.h"
#include "support/temp_folder.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::waitUntil;

class FinishedVideos : public DownloadQueueListener {
  public:
    void itemChanged(const DownloadItem&) override {}
    void itemRemoved(std::int64_t) override {}
    void videoFinished(const std::string& bvid, const std::string&) override {
        std::lock_guard lock(mutex_);
        bvids_.push_back(bvid);
    }
    std::vector<std::string> bvids() const {
        std::lock_guard lock(mutex_);
        return bvids_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> bvids_;
};

class ListQueueTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(pool_.start(1)); }
    void TearDown() override { pool_.stop(1, 60000); }

    DownloadRequest part(const std::string& name, const std::string& bvid = "BV1list") const {
        DownloadRequest request;
        request.bvid = bvid;
        request.cid = name;
        request.directory = folder_.path();
        request.outputPath = folder_.file(name + ".mp4");
        return request;
    }
    static ItemState stateOf(const DownloadQueue& queue, std::int64_t id) {
        return queue.item(id).value_or(DownloadItem{}).state;
    }
    static bool reaches(const DownloadQueue& queue, std::int64_t id, ItemState state) {
        return waitUntil([&] { return stateOf(queue, id) == state; });
    }
    // Tries of each part, by its cid.
    int tries(const std::string& cid) {
        std::lock_guard lock(mutex_);
        return tries_[cid];
    }
    void tried(const std::string& cid) {
        std::lock_guard lock(mutex_);
        ++tries_[cid];
    }

    test::TempFolder folder_;
    ThreadPool pool_;
    std::mutex mutex_;
    std::map<std::string, int> tries_;
};

// Writes the MP4, as a job that succeeds.
JobResult makesTheFile(const DownloadRequest& part, JobReport&) {
    test::writeBytes(part.outputPath, "an MP4 of eleven bytes");
    JobResult result;
    result.outcome = JobResult::Done;
    return result;
}

// One item per output path; the last done part of a video tells the listeners once.
TEST_F(ListQueueTest, OneItemPerOutputPathAndAVideoIsFinishedOnce) {
    std::atomic<int> jobs = 0;
    std::atomic<bool> go = false;  // both parts are submitted before either is done
    DownloadQueue queue(pool_, [&](const DownloadRequest& part, JobReport& report) {
        ++jobs;
        waitUntil([&] { return go.load(); });
        return makesTheFile(part, report);
    });
    auto finished = std::make_shared<FinishedVideos>();
    queue.addListener(finished);
    const auto first = queue.submit(part("a"));
    const auto second = queue.submit(part("b"));
    ASSERT_TRUE(first.started && second.started);
    const auto again = queue.submit(part("a"));  // queued, running or done: not twice
    EXPECT_FALSE(again.started);
    EXPECT_EQ(again.item.id, first.item.id);
    go = true;
    ASSERT_TRUE(reaches(queue, second.item.id, ItemState::Done));
    EXPECT_EQ(stateOf(queue, first.item.id), ItemState::Done);
    EXPECT_EQ(queue.item(second.item.id)->bytesTotal,
              static_cast<std::int64_t>(fs::file_size(part("b").outputPath)));
    EXPECT_EQ(finished->bvids(), std::vector<std::string>{"BV1list"});

    EXPECT_FALSE(queue.submit(part("a")).started);  // done, the file is there
    fs::remove(part("a").outputPath);
    EXPECT_TRUE(queue.submit(part("a")).started);  // done, but the file went
    ASSERT_TRUE(waitUntil([&] { return jobs == 3; }));
    ASSERT_TRUE(reaches(queue, first.item.id, ItemState::Done));
    EXPECT_EQ(queue.items().size(), 2u);
    EXPECT_EQ(finished->bvids().size(), 2u);
}

// A failure no retry mends fails at once; a waiting part that is paused or cancelled is
// tried no more; the tries, used up, end in the failure.
TEST_F(ListQueueTest, RetriesStopAtRefusalsPausesCancelsAndTheLimit) {
    DownloadQueue queue(pool_, [&](const DownloadRequest& part, JobReport&) {
        tried(part.cid);
        JobResult result;
        result.errorText = "refused";
        result.mendable = part.cid != "unknown";
        return result;
    });
    RetryPolicy slow;
    slow.delays = {1h};
    queue.setRetryPolicy(slow);
    const std::int64_t unknown = queue.submit(part("unknown")).item.id;
    ASSERT_TRUE(reaches(queue, unknown, ItemState::Failed));
    EXPECT_EQ(tries("unknown"), 1);

    const std::int64_t paused = queue.submit(part("paused")).item.id;
    const std::int64_t cancelled = queue.submit(part("cancelled")).item.id;
    ASSERT_TRUE(reaches(queue, paused, ItemState::Waiting));
    ASSERT_TRUE(reaches(queue, cancelled, ItemState::Waiting));
    queue.pause({paused});
    queue.cancel({cancelled});
    EXPECT_EQ(stateOf(queue, paused), ItemState::Paused);
    EXPECT_EQ(stateOf(queue, cancelled), ItemState::Cancelled);

    slow.tries = 2;
    slow.delays = {100ms};
    queue.setRetryPolicy(slow);
    queue.resume({paused});
    ASSERT_TRUE(reaches(queue, paused, ItemState::Failed));
    EXPECT_EQ(queue.item(paused)->retry, 2);
    EXPECT_EQ(tries("paused"), 4);  // the first try, the one resumed and its two retries
    EXPECT_EQ(tries("cancelled"), 1);
    EXPECT_EQ(stateOf(queue, cancelled), ItemState::Cancelled);
}

// Two programs on one downloads.db: a list sees within seconds the part another list
// runs and how far it is, and its pause, resume and cancel reach the list that runs it.
TEST_F(ListQueueTest, AListSeesAndStopsThePartAnotherListRuns) {
    const std::string store = folder_.file("downloads.db");
    // Works until it is asked to stop, telling how far it is.
    DownloadQueue runner(
        pool_,
        [](const DownloadRequest&, JobReport& report) {
            for (std::int64_t done = 1; !report.stopRequested(); ++done) {
                report.progress(done, 1000, 1, "");
                std::this_thread::sleep_for(20ms);
            }
            JobResult result;
            result.outcome = JobResult::Stopped;
            return result;
        },
        DownloadStore::open(store).store);
    ThreadPool idle;  // not started: this list runs nothing itself
    DownloadQueue window(idle, test::programJob(), DownloadStore::open(store).store);
    const std::int64_t id = runner.submit(part("elsewhere")).item.id;
    const auto seen = [&](ItemState state) {
        return waitUntil([&] { return stateOf(window, id) == state; }, 5s);
    };
    ASSERT_TRUE(
        waitUntil([&] { return window.item(id).value_or(DownloadItem{}).bytesDone > 0; }, 5s));
    EXPECT_EQ(window.item(id)->request.outputPath, part("elsewhere").outputPath);

    window.pause({id});
    EXPECT_TRUE(waitUntil([&] { return stateOf(runner, id) == ItemState::Paused; }, 5s));
    EXPECT_TRUE(seen(ItemState::Paused));
    window.resume({id});
    EXPECT_TRUE(waitUntil([&] { return stateOf(runner, id) == ItemState::Running; }, 5s));
    window.cancel({id});
    EXPECT_TRUE(waitUntil([&] { return stateOf(runner, id) == ItemState::Cancelled; }, 5s));
    EXPECT_TRUE(seen(ItemState::Cancelled));

    window.retry({id});  // cancelled there: this list takes it on
    EXPECT_EQ(stateOf(window, id), ItemState::Queued);
}

// A list of 100,000 finished parts keeps them compact: each comes back as it was given,
// but without the tags and cover only its merge used.
TEST_F(ListQueueTest, AFinishedPartComesBackAsItWasWithoutItsTags) {
    DownloadItem done;
    done.id = 7;
    done.state = ItemState::Done;
    done.request = part("done", "BV1done");
    done.request.videoTitle = "video";
    done.request.pageTitle = "page";
    done.request.pageNumber = 3;
    done.request.videoQuality = 80;
    done.request.audioQuality = 30280;
    done.request.qualityName = "1080P";
    done.request.siteTitle = "site";
    done.stageText = "stage";
    done.errorText = "error";
    done.bytesDone = 5;
    done.bytesTotal = 6;
    done.createdAt = 8;
    done.finishedAt = 9;
    DownloadItem tagged = done;
    tagged.request.tags = VideoTags{"video", "author", "2024-05-01", "page address", "text", 3};
    tagged.request.coverAddress = "cover";
    test::writeBytes(done.request.outputPath, "an MP4");
    ThreadPool idle;
    DownloadQueue queue(idle, test::programJob(), nullptr, {tagged});
    const std::optional<DownloadItem> back = queue.item(7);
    ASSERT_TRUE(back);
    const auto fields = [](const DownloadItem& i) {
        const DownloadRequest& r = i.request;
        return std::tuple(i.id, r.bvid, r.videoTitle, r.cid, r.pageTitle, r.pageNumber,
                          r.videoQuality, r.audioQuality, r.qualityName, r.directory, r.outputPath,
                          i.state, i.stageText, i.errorText, i.bytesDone, i.bytesTotal, i.createdAt,
                          i.finishedAt, r.siteTitle);
    };
    EXPECT_EQ(fields(*back), fields(done));
    EXPECT_FALSE(back->request.tags);
    EXPECT_TRUE(back->request.coverAddress.empty());
    EXPECT_FALSE(queue.submit(done.request).started);  // its file is there: found by its path
}

}  // namespace
}  // namespace quivra

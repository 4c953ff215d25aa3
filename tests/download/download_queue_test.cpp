// The download queue on a pool of its own, with the real engine, ffmpeg and store against
// the local site, end to end: pause and resume, retries that mend, cancel, and a kill in
// the middle. What the list does on its own is tested with a job of its own
// (list_queue_test.cpp) and its rules without any (item_machine_test.cpp).
#include "download/list/download_queue.h"

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "download/job/part_lock.h"
#include "download/list/download_store.h"
#include "download/thread_pool.h"
#include "job_fixture.h"
#include "support/temp_folder.h"

namespace quivra {
namespace {

using namespace test;
using namespace std::chrono_literals;

class EventLog : public DownloadQueueListener {
  public:
    void itemChanged(const DownloadItem& item) override {
        std::lock_guard lock(mutex_);
        states_.push_back(item.state);
    }
    void itemRemoved(std::int64_t) override {}
    std::vector<ItemState> states() const {
        std::lock_guard lock(mutex_);
        return states_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<ItemState> states_;
};

class DownloadQueueTest : public JobSiteTest {
  protected:
    void SetUp() override {
        JobSiteTest::SetUp();
        ASSERT_TRUE(pool_.start(1));
    }
    void TearDown() override {
        pool_.stop(1, 60000);
        JobSiteTest::TearDown();
    }

    ItemState stateOf(DownloadQueue& queue, std::int64_t id) const {
        return queue.item(id).value_or(DownloadItem{}).state;
    }
    bool reaches(DownloadQueue& queue, std::int64_t id, ItemState state) const {
        return waitUntil([&] { return stateOf(queue, id) == state; });
    }
    // Paces the video stream of the part so that a third of it takes about a second.
    void slowVideo() {
        const auto size = fs::file_size(site().mediaPath(mediaName(kOnePartCid, 64)));
        site().setBytesPerSecond(std::max<std::int64_t>(size / 6, 4096));
    }
    bool partlyFetched(DownloadQueue& queue, std::int64_t id) const {
        return waitUntil([&] { return queue.item(id).value_or(DownloadItem{}).bytesDone > 0; });
    }
    std::string reference() const {
        const fs::path merged = directory_ / "reference.mp4";
        mergeStreams(site().mediaPath(mediaName(kOnePartCid, 64)),
                     site().mediaPath(mediaName(kOnePartCid, 30280)), merged.string());
        return readBytes(merged.string());
    }

    // The largest first byte of the ranged requests for a media file.
    std::int64_t furthestRangeStart(const std::string& media) const {
        std::int64_t furthest = 0;
        for (const auto& request : site().requestsTo("/media/" + media)) {
            long long from = 0;
            if (std::sscanf(request.header("Range").c_str(), "bytes=%lld-", &from) == 1) {
                furthest = std::max<std::int64_t>(furthest, from);
            }
        }
        return furthest;
    }
    static RetryPolicy quickRetries(std::chrono::milliseconds delay) {
        RetryPolicy policy;
        policy.delays = {delay};
        return policy;
    }

    ThreadPool pool_;
};

// Pause ends the job and frees its worker for the next item, the control file stays; resume
// continues from it and the MP4 is the one an unbroken download gives.
TEST_F(DownloadQueueTest, PauseFreesTheWorkerAndResumeIsByteExact) {
    DownloadQueue queue(pool_, job());
    slowVideo();
    const std::int64_t slow = queue.submit(part("slow")).item.id;
    const std::int64_t next = queue.submit(part("next", "9999", 1)).item.id;
    ASSERT_TRUE(partlyFetched(queue, slow));
    EXPECT_EQ(stateOf(queue, next), ItemState::Queued);
    queue.pause({slow});
    EXPECT_EQ(localToUtf8(queue.item(slow)->stageText), "已暂停");
    ASSERT_TRUE(reaches(queue, next, ItemState::Failed));  // ran on the freed worker
    ASSERT_TRUE(waitUntil([&] { return pool_.isIdle(); }));
    EXPECT_EQ(stateOf(queue, slow), ItemState::Paused);
    EXPECT_TRUE(fs::exists(temp("3001.mp4.aria2")));

    site().setBytesPerSecond(0);
    site().clearRequests();
    queue.resume({slow});
    ASSERT_TRUE(reaches(queue, slow, ItemState::Done));
    EXPECT_GT(furthestRangeStart(mediaName(kOnePartCid, 64)), 0);
    EXPECT_EQ(readBytes(output("01_slow.mp4").string()), reference());
}

// A paused part lets go of the site: none of its connections stays open, though the
// engine runs no other task that would wind them down.
TEST_F(DownloadQueueTest, APausedPartHoldsNoConnection) {
    DownloadQueue queue(pool_, job());
    site().setBytesPerSecond(256 * 1024);  // the large stream over its 16 connections
    DownloadRequest large = part("large", "6101");
    large.bvid = devsite::kLargeBvid;
    large.videoQuality = 80;
    const std::int64_t id = queue.submit(large).item.id;
    ASSERT_TRUE(waitUntil([&] { return site().openMediaAnswers() > 1; }));
    queue.pause({id});
    EXPECT_TRUE(waitUntil([&] { return site().openMediaAnswers() == 0; }, 3s))
        << site().openMediaAnswers() << " answers still open";
}

// The site stops answering in the middle of a part for longer than the engine's own
// retries last: the part waits ("等待重试（1/5）" with the engine's text on its row), is
// tried again with addresses asked anew, continues where it broke off and ends as the
// MP4 an unbroken download gives.
TEST_F(DownloadQueueTest, AnOutageIsOutlastedByRetriesThatContinueThePart) {
    DownloadQueue queue(pool_, job());
    queue.setRetryPolicy(quickRetries(3s));
    auto events = std::make_shared<EventLog>();
    queue.addListener(events);
    slowVideo();
    const std::string video = mediaName(kOnePartCid, 64);
    const auto size = static_cast<std::int64_t>(fs::file_size(site().mediaPath(video)));
    site().setFault(video, {devsite::FaultKind::Outage, size / 3, 1, 8000});
    const std::int64_t servedBefore = site().bytesServed(video);
    const std::int64_t id = queue.submit(part("outage")).item.id;

    ASSERT_TRUE(reaches(queue, id, ItemState::Waiting));
    const DownloadItem waiting = *queue.item(id);
    EXPECT_EQ(waiting.retry, 1);
    EXPECT_FALSE(waiting.errorText.empty());
    EXPECT_EQ(waiting.stageText, waiting.errorText);
    EXPECT_TRUE(
        localToUtf8(itemStateText(waiting, epochMilliseconds())).starts_with("等待重试（1/5） 0:0"))
        << localToUtf8(itemStateText(waiting, epochMilliseconds()));
    const size_t asked = site().requestsTo("/x/player/playurl").size();

    ASSERT_TRUE(reaches(queue, id, ItemState::Done));
    EXPECT_GT(site().requestsTo("/x/player/playurl").size(), asked);
    EXPECT_GT(furthestRangeStart(video), 0);
    EXPECT_LT(site().bytesServed(video) - servedBefore, size * 3 / 2);  // not fetched afresh
    EXPECT_EQ(readBytes(output("01_outage.mp4").string()), reference());
    const std::vector<ItemState> states = events->states();
    EXPECT_EQ(std::count(states.begin(), states.end(), ItemState::Failed), 0);
}

// Stream addresses expire while the part downloads (403 for the old ones): the next try
// asks for new ones and finishes the part.
TEST_F(DownloadQueueTest, ExpiredAddressesAreAskedForAnew) {
    DownloadQueue queue(pool_, job());
    queue.setRetryPolicy(quickRetries(200ms));
    slowVideo();
    const std::string video = mediaName(kOnePartCid, 64);
    const auto size = static_cast<std::int64_t>(fs::file_size(site().mediaPath(video)));
    site().setFault(video, {devsite::FaultKind::DropAfterBytes, size / 2, 1});
    const std::int64_t id = queue.submit(part("expired")).item.id;
    ASSERT_TRUE(partlyFetched(queue, id));
    site().expireAddresses();

    ASSERT_TRUE(reaches(queue, id, ItemState::Done));
    EXPECT_GE(queue.item(id)->retry, 1);  // the engine alone cannot get past a 403
    bool renewed = false;
    for (const auto& request : site().requestsTo("/media/" + video)) {
        renewed = renewed || request.query == "expires=1";
    }
    EXPECT_TRUE(renewed);
    EXPECT_EQ(readBytes(output("01_expired.mp4").string()), reference());
}

// Cancel stops the job and deletes its temporary streams; a finished MP4 stays whatever is
// asked of its item.
TEST_F(DownloadQueueTest, CancelDeletesTheStreamsButNeverAFinishedFile) {
    DownloadQueue queue(pool_, job());
    const std::int64_t done = queue.submit(part("done", kOnePartCid, 1)).item.id;
    ASSERT_TRUE(reaches(queue, done, ItemState::Done));
    slowVideo();
    const std::int64_t running = queue.submit(part("running")).item.id;
    ASSERT_TRUE(partlyFetched(queue, running));

    queue.cancel({running, done});
    EXPECT_EQ(stateOf(queue, running), ItemState::Cancelled);
    EXPECT_EQ(stateOf(queue, done), ItemState::Done);
    ASSERT_TRUE(waitUntil([&] { return pool_.isIdle(); }));
    EXPECT_TRUE(fs::is_empty(directory_ / "temp"));
    queue.remove({done});
    EXPECT_FALSE(queue.item(done));
    EXPECT_EQ(probe(output("02_done.mp4")).video, 1);

    site().setBytesPerSecond(0);
    queue.retry({running});
    ASSERT_TRUE(reaches(queue, running, ItemState::Done));
    EXPECT_EQ(readBytes(output("01_running.mp4").string()), reference());
}

// Another program's job may be downloading the part this list cancels (each program has
// its own list): its streams stay while it holds the part's lock.
TEST_F(DownloadQueueTest, CancelKeepsTheStreamsOfAPartAnotherProgramRuns) {
    // A folder of its own: the engine is shared with the next tests, and it must not know
    // this paused stream's path there.
    fs::remove_all(folder() / "elsewhere");
    useDirectory(folder() / "elsewhere");
    DownloadQueue queue(pool_, job());
    slowVideo();
    const DownloadItem item = queue.submit(part("elsewhere")).item;
    ASSERT_TRUE(partlyFetched(queue, item.id));
    queue.pause({item.id});
    ASSERT_TRUE(waitUntil([&] { return pool_.isIdle(); }));
    PartLock otherProgram;
    ASSERT_EQ(otherProgram.tryTake(partLockPath(item.request)), PartLock::Taken);

    queue.cancel({item.id});
    EXPECT_EQ(stateOf(queue, item.id), ItemState::Cancelled);
    EXPECT_TRUE(fs::exists(temp("3001.mp4")));
    EXPECT_TRUE(fs::exists(temp("3001.mp4.aria2")));
}

// Two programs add to one downloads.db at once (the window and a command line, each with
// a list of its own): neither overwrites the other's items.
TEST_F(DownloadQueueTest, TwoListsOnOneStoreKeepEachOthersItems) {
    const std::string store = (folder() / "downloads.db").string();
    for (const char* file : {"", "-wal", "-shm"}) fs::remove(store + file);
    {
        ThreadPool idle;  // not started: the items only wait
        DownloadQueue window(idle, job(), DownloadStore::open(store).store);
        DownloadQueue commandLine(idle, job(), DownloadStore::open(store).store);
        window.submit(part("window"));
        commandLine.submit(part("command", "9999", 1));
    }
    EXPECT_EQ(DownloadStore::open(store).items.size(), 2u);
}

// A kill -9 while parts download loses no item: the next start lists them all, paused,
// and resumed they end as valid MP4s.
TEST_F(DownloadQueueTest, KillMidDownloadThenRestartListsEveryItemAndResumes) {
    const std::string store = (folder() / "downloads.db").string();
    for (const char* file : {"", "-wal", "-shm"}) fs::remove(store + file);
    const std::vector<DownloadRequest> parts = {part("one"), part("two", "9999", 1),
                                                part("three", kOnePartCid, 2)};
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            slowVideo();
            StoreOpening opening = DownloadStore::open(store);
            DownloadQueue queue(pool_, job(), std::move(opening.store));
            const std::int64_t first = queue.submit(parts[0]).item.id;
            for (size_t i = 1; i < parts.size(); ++i) queue.submit(parts[i]);
            if (!partlyFetched(queue, first)) std::_Exit(3);
            ::raise(SIGKILL);
        },
        ::testing::KilledBySignal(SIGKILL), "");

    StoreOpening opening = DownloadStore::open(store);
    EXPECT_TRUE(opening.movedAsideTo.empty());
    ASSERT_EQ(opening.items.size(), 3u);
    DownloadQueue queue(pool_, job(), std::move(opening.store), std::move(opening.items));
    std::vector<std::int64_t> ids;  // in the order of submission
    for (const DownloadItem& item : queue.items()) {
        EXPECT_EQ(item.request.outputPath, parts[ids.size()].outputPath);
        EXPECT_EQ(item.state, ItemState::Paused) << item.id;
        EXPECT_EQ(localToUtf8(item.stageText), "已暂停");
        ids.push_back(item.id);
    }
    site().setBytesPerSecond(0);
    queue.resumeInterrupted();
    ASSERT_TRUE(reaches(queue, ids[0], ItemState::Done));
    ASSERT_TRUE(reaches(queue, ids[2], ItemState::Done));
    EXPECT_EQ(stateOf(queue, ids[1]), ItemState::Failed);
    for (const char* name : {"01_one.mp4", "03_three.mp4"}) {
        const StreamCounts counts = probe(output(name));
        EXPECT_EQ(counts.video, 1) << name;
        EXPECT_EQ(counts.audio, 1) << name;
    }
}

// A part asking for HEVC first takes the HEVC stream of its quality: the list's 清晰度 names
// the codec once the job chose, the store keeps it, and the MP4 holds HEVC.
TEST_F(DownloadQueueTest, APartWithHevcFirstIsDownloadedInHevcAndTheListSaysSo) {
    const std::string store = (folder() / "downloads.db").string();
    for (const char* file : {"", "-wal", "-shm"}) fs::remove(store + file);
    DownloadRequest request = part("hevc");
    request.qualityName = localText("480P 清晰");
    request.codecs = {VideoCodec::Hevc, VideoCodec::Avc, VideoCodec::Av1};
    std::int64_t id = 0;
    {
        DownloadQueue queue(pool_, job(), DownloadStore::open(store).store);
        id = queue.submit(request).item.id;
        EXPECT_EQ(localToUtf8(itemQualityText(*queue.item(id))), "480P 清晰");
        ASSERT_TRUE(reaches(queue, id, ItemState::Done));
        EXPECT_EQ(localToUtf8(itemQualityText(*queue.item(id))), "480P 清晰 HEVC");
        ASSERT_TRUE(waitUntil([&] { return pool_.isIdle(); }));
    }
    const StoreOpening again = DownloadStore::open(store);
    ASSERT_EQ(again.items.size(), 1u);
    EXPECT_EQ(again.items[0].videoCodec, VideoCodec::Hevc);
    EXPECT_EQ(again.items[0].request.codecs, request.codecs);
    EXPECT_EQ(videoCodecOf(output("01_hevc.mp4")), "hevc");
    EXPECT_EQ(site().requestsTo("/media/" + mediaName(kOnePartCid, 64)).size(), 0u);
}

}  // namespace
}  // namespace quivra

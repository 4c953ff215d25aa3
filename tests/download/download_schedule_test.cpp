// The download window on a clock the test sets, with a job of the test's own: outside it
// parts wait, at its end running ones go back to wait and at its start they go on; a pause
// the user made stays.
#include "download/download_schedule.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/settings_table.h"
#include "download/engine/download_engine.h"
#include "download/list/download_queue.h"
#include "download/thread_pool.h"
#include "job_fixture.h"
#include "net/text_encoding.h"
#include "support/temp_folder.h"

namespace quivra {
namespace {

using test::waitUntil;

constexpr std::int64_t kDay = kMinutesPerDay;
constexpr std::int64_t kMonday = 20'000 * kDay;

constexpr std::int64_t at(std::int64_t day, int hour, int minute) {
    return day + hour * 60 + minute;
}

class DownloadScheduleTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(pool_.start(1)); }  // the second part waits for it
    void TearDown() override { pool_.stop(1, 60000); }

    DownloadRequest part(const std::string& name) const {
        DownloadRequest request;
        request.bvid = "BV1schedule";
        request.cid = name;
        request.directory = folder_.path();
        request.outputPath = folder_.file(name + ".mp4");
        return request;
    }
    static DownloadSettings nightWindow() {
        DownloadSettings settings = defaultDownloadSettings();
        settings.downloadWindowOn = true;
        settings.downloadWindow = "01:00-07:00";
        return settings;
    }
    ItemState stateOf(std::int64_t id) const {
        return queue_->item(id).value_or(DownloadItem{}).state;
    }
    bool reaches(std::int64_t id, ItemState state) const {
        return waitUntil([&] { return stateOf(id) == state; });
    }

    // Runs until asked to stop the first time, makes the file the second.
    JobResult job(const DownloadRequest& request, JobReport& report) {
        JobResult result;
        if (++tries_ == 1) {
            running_ = true;
            while (!report.stopRequested())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            running_ = false;
            result.outcome = JobResult::Stopped;
            return result;
        }
        test::writeBytes(request.outputPath, "an MP4");
        result.outcome = JobResult::Done;
        return result;
    }

    test::TempFolder folder_;
    ThreadPool pool_;
    std::atomic<int> tries_ = 0;
    std::atomic<bool> running_ = false;
    std::atomic<std::int64_t> now_ = at(kMonday, 0, 30);
    DownloadEngine engine_;  // not started: the limit has nowhere to go
    std::shared_ptr<DownloadQueue> queue_ = std::make_shared<DownloadQueue>(
        pool_,
        [this](const DownloadRequest& request, JobReport& report) { return job(request, report); });
    DownloadSchedule schedule_{engine_, queue_, [this] { return now_.load(); }};
};

TEST_F(DownloadScheduleTest, AQueuedPartWaitsOutsideTheWindowAndStartsAtItsStart) {
    tries_ = 1;  // the job makes the file at once
    schedule_.follow(nightWindow());
    const auto submitted = queue_->submit(part("a"));
    const std::string waits = localText("等待时段（01:00开始）");
    EXPECT_EQ(submitted.item.state, ItemState::Queued);
    EXPECT_EQ(submitted.item.stageText, waits);
    EXPECT_EQ(itemStateText(submitted.item, 0), waits);

    now_ = at(kMonday, 1, 0);
    ASSERT_TRUE(reaches(submitted.item.id, ItemState::Done));
    EXPECT_EQ(tries_, 2);
    EXPECT_FALSE(queue_->item(submitted.item.id)->windowStart);
}

TEST_F(DownloadScheduleTest, ARunningPartWaitsFromTheEndToTheNextStartAUserPausedOneStays) {
    now_ = at(kMonday, 6, 0);
    schedule_.follow(nightWindow());
    const std::int64_t running = queue_->submit(part("a")).item.id;
    ASSERT_TRUE(waitUntil([&] { return running_.load(); }));
    const std::int64_t paused = queue_->submit(part("b")).item.id;
    queue_->pause({paused});
    ASSERT_EQ(stateOf(paused), ItemState::Paused);

    now_ = at(kMonday, 7, 0);
    ASSERT_TRUE(waitUntil([&] { return !running_ && stateOf(running) == ItemState::Queued; }));
    EXPECT_EQ(queue_->item(running)->stageText, localText("等待时段（01:00开始）"));

    now_ = at(kMonday + kDay, 1, 0);
    ASSERT_TRUE(reaches(running, ItemState::Done));
    EXPECT_EQ(tries_, 2);
    EXPECT_EQ(stateOf(paused), ItemState::Paused);
}

}  // namespace
}  // namespace quivra

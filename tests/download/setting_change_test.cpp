#include "download/setting_change.h"
#include "support/program_job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "download/download_core.h"
#include "download/download_schedule.h"
#include "download/list/download_queue.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

class SettingChangeTest : public ::testing::Test {
  protected:
    void change(SettingChange value) {
        const SettingEffects effects = settings_.update([&](DownloadSettings& s) {
            return applySettingChanges(s, {&value, 1});
        });
        followSettingChange(core_, effects);
    }

    ThreadPool pool_;        // not started: nothing runs
    DownloadEngine engine_;  // not started: no engine setting may be touched here
    std::shared_ptr<DownloadQueue> queue_ =
        std::make_shared<DownloadQueue>(pool_, test::programJob());
    Guarded<DownloadSettings> settings_{defaultDownloadSettings()};
    LocalClock noon_ = [] { return std::int64_t{20'000} * kMinutesPerDay + 12 * 60; };
    DownloadCore core_{engine_,
                       pool_,
                       queue_,
                       settings_,
                       {},
                       noon_,
                       std::make_shared<DownloadSchedule>(engine_, queue_, noon_)};
};

// The settings window's retries reach the running list through the row's effect; the waits
// the list was given stay.
TEST_F(SettingChangeTest, RetriesReachTheRunningListAndKeepItsWaits) {
    const std::vector<std::chrono::milliseconds> waits = {std::chrono::milliseconds(10)};
    queue_->setRetryPolicy({9, waits});

    change({SettingKey::ThreadNumber, 8});
    EXPECT_EQ(queue_->retryPolicy().tries, 9);  // the thread number waits for the next start

    change({SettingKey::Retries, 2});
    EXPECT_EQ(queue_->retryPolicy().tries, 2);
    EXPECT_EQ(queue_->retryPolicy().delays, waits);
}

// Switching the download window on outside it holds the queued parts at once; off, they go.
TEST_F(SettingChangeTest, TheDownloadWindowReachesTheListAtOnce) {
    const std::int64_t id = queue_->submit(DownloadRequest{}).item.id;
    change({SettingKey::DownloadWindowOn, true});  // 01:00-07:00 by default; the clock says noon
    EXPECT_EQ(queue_->item(id)->stageText, localText("等待时段（01:00开始）"));
    change({SettingKey::DownloadWindow, std::string("11:00-13:00")});
    EXPECT_FALSE(queue_->item(id)->windowStart);
    change({SettingKey::DownloadWindow, std::string("13:00-14:00")});
    EXPECT_EQ(queue_->item(id)->windowStart, 13 * 60);
    change({SettingKey::DownloadWindowOn, false});
    EXPECT_EQ(queue_->item(id)->stageText, localText("等待下载"));
}

}  // namespace
}  // namespace quivra

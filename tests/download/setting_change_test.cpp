#include "download/setting_change.h"
#include "support/program_job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "download/thread_pool.h"

namespace quivra {
namespace {

// The settings window's retries reach the running list through the row's effect; the waits
// the list was given stay.
TEST(SettingChange, RetriesReachTheRunningListAndKeepItsWaits) {
    ThreadPool pool;
    DownloadQueue queue(pool, test::programJob());
    DownloadEngine engine;  // not started: no engine setting may be touched here
    const std::vector<std::chrono::milliseconds> waits = {std::chrono::milliseconds(10)};
    queue.setRetryPolicy({9, waits});

    DownloadSettings settings = defaultDownloadSettings();
    const SettingChange threads[] = {{SettingKey::ThreadNumber, 8}};
    SettingEffects effects = applySettingChanges(settings, threads);
    followSettingChange(engine, queue, settings, effects);
    EXPECT_EQ(queue.retryPolicy().tries, 9);  // the thread number waits for the next start

    const SettingChange retries[] = {{SettingKey::Retries, 2}};
    effects = applySettingChanges(settings, retries);
    followSettingChange(engine, queue, settings, effects);
    EXPECT_EQ(queue.retryPolicy().tries, 2);
    EXPECT_EQ(queue.retryPolicy().delays, waits);
}

}  // namespace
}  // namespace quivra

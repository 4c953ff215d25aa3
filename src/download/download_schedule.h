// A program's schedule: the download list follows 下载时段 (parts wait outside it) and the
// engine the speed limit in force (限速时段). A thread looks at the clock every second
// while a window is on, so a clock set forward or back is seen too; each start and end of
// the download window happens at most once (WindowEdges).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "base/records.h"
#include "base/time_window.h"

namespace quivra {

class DownloadEngine;
class DownloadQueue;

class DownloadSchedule {
  public:
    DownloadSchedule(DownloadEngine& engine, std::shared_ptr<DownloadQueue> queue,
                     LocalClock clock);
    ~DownloadSchedule();
    DownloadSchedule(const DownloadSchedule&) = delete;
    DownloadSchedule& operator=(const DownloadSchedule&) = delete;

    // The settings to follow from now on, acted on at once on the caller's thread.
    void follow(const DownloadSettings& settings);
    // The thread ends; nothing more reaches the list or the engine.
    void stop();

  private:
    void turn();  // under turnMutex_
    void run();

    DownloadEngine& engine_;
    std::shared_ptr<DownloadQueue> queue_;
    LocalClock clock_;

    std::mutex turnMutex_;  // one turn at a time: the thread's or a follow's
    WindowEdges edges_;
    std::optional<int> opensAt_;                // what the list was told
    std::optional<std::int64_t> appliedLimit_;  // what the engine was told

    std::mutex mutex_;  // guards what follows
    std::condition_variable wake_;
    DownloadSettings settings_;
    bool watching_ = false;  // a window is on: the clock is looked at
    bool stopped_ = false;
    std::thread thread_;
};

}  // namespace quivra

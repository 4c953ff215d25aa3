#include "download/download_schedule.h"

#include <chrono>
#include <utility>

#include "base/setting_windows.h"
#include "download/engine/download_engine.h"
#include "download/list/download_queue.h"

namespace quivra {

DownloadSchedule::DownloadSchedule(DownloadEngine& engine, std::shared_ptr<DownloadQueue> queue,
                                   LocalClock clock)
    : engine_(engine), queue_(std::move(queue)), clock_(std::move(clock)) {
    thread_ = std::thread([this] { run(); });
}

DownloadSchedule::~DownloadSchedule() {
    stop();
}

void DownloadSchedule::follow(const DownloadSettings& settings) {
    {
        std::lock_guard lock(mutex_);
        if (stopped_) return;
        settings_ = settings;
        watching_ = settings.downloadWindowOn || settings.speedLimitWindowOn;
    }
    wake_.notify_all();
    std::lock_guard turning(turnMutex_);
    turn();
}

void DownloadSchedule::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void DownloadSchedule::turn() {
    DownloadSettings settings;
    {
        std::lock_guard lock(mutex_);
        if (stopped_) return;
        settings = settings_;
    }
    const std::int64_t now = clock_();
    const std::optional<TimeWindow> window = downloadWindowOf(settings);
    const std::optional<int> opensAt =
        edges_.open(window, now) ? std::nullopt : std::optional<int>(window->start);
    if (opensAt != opensAt_) {
        opensAt_ = opensAt;
        queue_->followDownloadWindow(opensAt);
    }
    const std::int64_t limit = effectiveSpeedLimit(settings, now);
    if (limit != appliedLimit_ && engine_.setSpeedLimit(limit)) appliedLimit_ = limit;
}

void DownloadSchedule::run() {
    std::unique_lock lock(mutex_);
    while (!stopped_) {
        if (watching_) {
            wake_.wait_for(lock, std::chrono::seconds(1));
        } else {
            wake_.wait(lock);
        }
        if (stopped_ || !watching_) continue;
        lock.unlock();
        {
            std::lock_guard turning(turnMutex_);
            turn();
        }
        lock.lock();
    }
}

}  // namespace quivra

#include "download/list/list_timer.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "download/list/download_item.h"

namespace quivra {

ListTimer::ListTimer(std::mutex& mutex, Work work) : mutex_(mutex), work_(std::move(work)) {}

void ListTimer::start() {
    if (!stopped_ && !thread_.joinable()) thread_ = std::thread([this] { run(); });
}

void ListTimer::stop() {
    stopped_ = true;
}

std::thread ListTimer::take() {
    return std::move(thread_);
}

void ListTimer::wake() {
    wake_.notify_all();
}

void ListTimer::run() {
    using Steady = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    auto nextLook = Steady::now();
    while (!stopped_) {
        const std::int64_t now = epochMilliseconds();
        const std::int64_t nextRetry = work_.queueDue(now);
        if (work_.look && Steady::now() >= nextLook) {
            work_.look(lock);
            nextLook = Steady::now() + std::chrono::seconds(1);
            continue;
        }
        if (nextRetry == 0 && !work_.look) {
            wake_.wait(lock);
            continue;
        }
        auto until =
            nextRetry == 0 ? nextLook : Steady::now() + std::chrono::milliseconds(nextRetry - now);
        if (work_.look) until = std::min(until, nextLook);
        wake_.wait_until(lock, until);
    }
}

}  // namespace quivra

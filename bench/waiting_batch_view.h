// A batch view for the benchmarks: it shows nothing and lets the caller wait for the end.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>

#include "download/batch_download.h"

namespace bench {

class WaitingView : public quivra::BatchView {
  public:
    void showAddressState(size_t, const std::string&) override {}
    void batchFinished() override {
        std::lock_guard lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return finished_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool finished_ = false;
};

}  // namespace bench

// A batch view that keeps what a run showed, item by item (UTF-8), and waits for its end.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "download/batch_download.h"
#include "net/text_encoding.h"

namespace quivra::test {

class RecordingBatchView : public BatchView {
  public:
    void showAddressState(size_t index, const std::string& text) override {
        std::lock_guard lock(mutex_);
        states_[index].push_back(localToUtf8(text));
    }
    void batchFinished() override {
        std::lock_guard lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    }
    bool waitFinished() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [this] { return finished_; });
    }
    std::map<size_t, std::vector<std::string>> states() const {
        std::lock_guard lock(mutex_);
        return states_;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<size_t, std::vector<std::string>> states_;
    bool finished_ = false;
};

}  // namespace quivra::test

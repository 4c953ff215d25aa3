#include "app/cli/downloads/download_session.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "app/cli/downloads/item_text.h"
#include "app/cli/exit_status.h"
#include "base/shared_state.h"
#include "download/download_core.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

constexpr auto kTick = std::chrono::milliseconds(200);
// How long the jobs may take to let go after a signal (a stream request in flight ends
// with its own time limit); then the program ends without them.
constexpr int kStopLimitMs = 30000;

}  // namespace

// The queue's changes, handed from the workers to the command's thread.
class DownloadSession::Events : public DownloadQueueListener {
  public:
    void itemChanged(const DownloadItem& item) override {
        {
            std::lock_guard lock(mutex_);
            changes_.push_back(item);
        }
        arrived_.notify_one();
    }
    void itemRemoved(std::int64_t) override {}

    // The changes so far, after waiting up to `limit` for one.
    std::deque<DownloadItem> take(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, limit, [this] { return !changes_.empty(); });
        return std::exchange(changes_, {});
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<DownloadItem> changes_;
};

std::unique_ptr<DownloadSession> DownloadSession::start(ProgressOutput& output,
                                                        Interrupts& interrupts) {
    const CoreStart start = startDownloadCore(sharedState().download.get().threadNumber, false);
    const std::string refused =
        start.engineStarted ? localToUtf8(start.failure) : "the download engine did not start";
    if (!refused.empty()) {
        output.error(refused);  // the main window's message when the pool did not start
        stopDownloadCore(*start.core, 0);
        return nullptr;
    }
    if (!start.storeMessage.empty()) output.error(localToUtf8(start.storeMessage));
    return std::unique_ptr<DownloadSession>(new DownloadSession(start.core, output, interrupts));
}

DownloadSession::DownloadSession(std::shared_ptr<DownloadCore> core, ProgressOutput& output,
                                 Interrupts& interrupts)
    : core_(std::move(core)),
      output_(output),
      interrupts_(interrupts),
      queue_(core_->queue),
      events_(std::make_shared<Events>()) {
    queue_->addListener(events_);
}

DownloadSession::~DownloadSession() {
    output_.finish();
    // Parts still running stay unfinished in the store; their jobs see the end and let go
    // of their streams.
    if (!stopDownloadCore(*core_, kStopLimitMs)) {
        // A worker still runs: the program must not wind down around it.
        std::fflush(nullptr);
        ::_exit(kExitInterrupted);
    }
}

void DownloadSession::follow(const DownloadItem& item) {
    interrupts_.arm();
    followed_.try_emplace(item.id, ItemState::Queued);
    show(item);
}

void DownloadSession::show(const DownloadItem& item) {
    output_.part(item);
    ItemState& known = followed_[item.id];
    if (item.state == ItemState::Failed && known != ItemState::Failed) {
        output_.error(partLabel(item) + ": " + partStateText(item));
    }
    known = item.state;
}

DownloadSession::Outcome DownloadSession::wait() {
    Outcome outcome;
    for (;;) {
        for (const DownloadItem& item : events_->take(kTick)) {
            if (followed_.count(item.id) > 0) show(item);
        }
        output_.tick();
        bool allOver = true;
        for (const auto& [id, state] : followed_) allOver = allOver && isOver(state);
        if (allOver) break;
        if (interrupts_.requested()) {
            outcome.interrupted = true;
            break;
        }
    }
    for (const auto& [id, state] : followed_) {
        outcome.done += state == ItemState::Done ? 1 : 0;
        outcome.failed += state == ItemState::Failed ? 1 : 0;
    }
    return outcome;
}

}  // namespace quivra

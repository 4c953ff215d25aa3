#include "base/message_box.h"

#include <mutex>
#include <utility>

namespace quivra {
namespace {

constexpr size_t kMaxRecorded = 100;

struct MessageSlot {
    std::mutex mutex;
    MessagePresenter presenter;
    std::vector<std::string> recorded;
};

MessageSlot& slot() {
    static MessageSlot* messages = new MessageSlot;  // outlives every worker
    return *messages;
}

}  // namespace

void showMessageBox(const std::string& text) {
    MessagePresenter presenter;
    {
        std::lock_guard lock(slot().mutex);
        presenter = slot().presenter;
        if (!presenter) {
            auto& recorded = slot().recorded;
            if (recorded.size() == kMaxRecorded) recorded.erase(recorded.begin());
            recorded.push_back(text);
            return;
        }
    }
    // Called outside the lock: the presenter blocks until the box is dismissed.
    presenter(text);
}

void setMessagePresenter(MessagePresenter presenter) {
    std::lock_guard lock(slot().mutex);
    slot().presenter = std::move(presenter);
}

std::vector<std::string> takeRecordedMessages() {
    std::lock_guard lock(slot().mutex);
    return std::exchange(slot().recorded, {});
}

}  // namespace quivra

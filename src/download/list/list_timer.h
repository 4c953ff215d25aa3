// The one thread of a download list: it queues waiting items when their time comes and,
// with a store, looks at it every second. Its work runs under the queue's lock, which it
// lets go while it waits. Started with the queue when it has a store, else with the first
// wait.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace quivra {

class ListTimer {
  public:
    struct Work {
        // Queues the items whose time has come; the next one's time (milliseconds since the
        // epoch), 0 when none waits.
        std::function<std::int64_t(std::int64_t nowMs)> queueDue;
        // Looks at the store; may let go of the lock meanwhile. Empty without a store.
        std::function<void(std::unique_lock<std::mutex>&)> look;
    };

    ListTimer(std::mutex& mutex, Work work);
    ListTimer(const ListTimer&) = delete;
    ListTimer& operator=(const ListTimer&) = delete;

    // Under the lock. Once stopped, nothing starts it.
    void start();
    void stop();         // the thread ends at its next turn
    std::thread take();  // the thread to join after stop()
    void wake();         // a new wait, or a command to hand over

  private:
    void run();

    std::mutex& mutex_;
    Work work_;
    std::condition_variable wake_;
    std::thread thread_;
    bool stopped_ = false;
};

}  // namespace quivra

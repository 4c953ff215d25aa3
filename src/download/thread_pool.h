// A fixed set of worker threads fed from one queue, with the states, stop modes and
// counters the download buttons and the start-up rely on.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

namespace quivra {

class ThreadPool {
  public:
    using Routine = void (*)(std::intptr_t value1, std::intptr_t value2);

    enum State : int { NotRunning = 0, Running = 1, Starting = 2, Stopping = 3 };

    // start() runs at most this many workers, whatever is asked: each runs one download
    // over several connections, and far more would only exhaust the machine.
    static constexpr int kMaxThreads = 64;

    ThreadPool();
    ~ThreadPool();  // stop(mode 2) without waiting
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    bool start(std::optional<int> threads = std::nullopt, bool processMessages = false,
               std::optional<int> stackSize = std::nullopt);
    bool stop(std::optional<int> mode = std::nullopt, std::optional<int> timeoutMs = std::nullopt,
              bool processMessages = false);
    bool submit(Routine routine, std::intptr_t value1, std::intptr_t value2 = 0);

    int idleThreadCount() const;
    int busyCount() const;
    int queuedCount() const;
    int threadCount() const;
    bool isIdle() const;
    int state() const;

    // The stack reservation start() uses for a requested size (0: system default).
    static std::size_t effectiveStackSize(int requested);

  private:
    struct Impl;
    Impl* impl_;
};

// The one pool of the program.
ThreadPool& threadPool();

}  // namespace quivra

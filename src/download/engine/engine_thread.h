// The one thread that owns the aria2 session. libaria2 is not thread-safe, so every
// operation is queued to this thread and answered from it; the task figures are kept
// in snapshots that the thread refreshes, so queries never wait for a polling round.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "download/engine/engine_texts.h"

namespace quivra {

// What one task looked like after the engine thread's last look at it.
struct TaskSnapshot {
    EngineState state = kStateNoItem;
    EngineError error = kErrorUnknown;
    std::int64_t totalSize = 0;
    std::int64_t downloadedSize = 0;
    int speed = 0;
    int connections = 0;
};

// A new task's settings; texts are UTF-8.
struct TaskSettings {
    std::string url;
    std::string referer;
    std::string cookies;
    std::string fileName;
    std::string saveFolder;
    bool resume = false;
    bool noAutoRename = false;
};

class EngineThread {
  public:
    EngineThread();
    ~EngineThread();
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;

    // Creates the session (one per process at a time) and starts the thread.
    bool start(const std::string& folder);
    // Ends the session promptly; unfinished files keep their control files.
    void stop();
    bool running() const;

    std::uint32_t addTask(const TaskSettings& settings);  // paused; 0 on failure
    bool resumeTask(std::uint32_t task);
    bool pauseTask(std::uint32_t task, bool force);
    bool removeTask(std::uint32_t task);
    bool setUploadLimit(std::int64_t bytesPerSecond);
    // Options of the whole session (aria2's names): a limit applies to running tasks at
    // once, other options to the tasks added after.
    bool changeGlobalOptions(const std::vector<std::pair<std::string, std::string>>& options);
    std::optional<TaskSnapshot> snapshot(std::uint32_t task) const;
    // Waits until the task's state is no longer `seen` or `longest` has passed, and
    // returns the state then (kStateNoItem for a task the engine no longer has). The
    // engine thread wakes the wait as soon as it sees the change, right after aria2's
    // download event, so a caller need not poll for it.
    EngineState waitForState(std::uint32_t task, EngineState seen,
                             std::chrono::milliseconds longest) const;

    struct Impl;

  private:
    std::shared_ptr<Impl> impl_;
};

}  // namespace quivra

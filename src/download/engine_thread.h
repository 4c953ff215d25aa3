// The one thread that owns the aria2 session. libaria2 is not thread-safe, so every
// operation is queued to this thread and answered from it; the task figures are kept
// in snapshots that the thread refreshes, so queries never wait for a polling round.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quivra {

// What one task looked like after the engine thread's last look at it.
struct TaskSnapshot {
    int state = 0;  // a code of the state table
    int error = 0;  // a code of the error table
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

    struct Impl;

  private:
    std::shared_ptr<Impl> impl_;
};

}  // namespace quivra

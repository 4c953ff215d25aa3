// The download engine: libaria2 driven from one engine thread. Every operation may be
// called from any thread; each is handed to the engine thread and answered from it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "download/engine/engine_texts.h"

namespace quivra {

struct ProxyRoute;

class DownloadEngine {
  public:
    DownloadEngine();
    ~DownloadEngine();
    DownloadEngine(const DownloadEngine&) = delete;
    DownloadEngine& operator=(const DownloadEngine&) = delete;

    // folder: the program directory (UTF-8). Returns whether the engine runs.
    bool init(const std::string& folder, bool install,
              std::optional<bool> startHelper = std::nullopt);
    // Stops the engine promptly; partial files stay resumable.
    void uninit();

    // Texts are local text (GBK). Returns a task handle, 0 on failure.
    std::uint32_t createTask(const std::string& url, const std::string& referer,
                             const std::string& cookies, const std::string& fileName,
                             const std::string& saveFolder, int onlyOriginal, int noAutoRename,
                             int resume);
    bool startTask(std::uint32_t task);
    bool stopTask(std::uint32_t task);
    bool forceStopTask(std::uint32_t task);
    bool deleteTask(std::uint32_t task);

    std::string taskStateName(std::uint32_t task);
    std::string taskErrorText(std::uint32_t task);
    // The same facts typed, for the program's own code: kStateNoItem for a task the
    // engine does not have; the error is meaningful once the state is kStateError.
    EngineState taskState(std::uint32_t task);
    EngineError taskError(std::uint32_t task);
    // Returns as soon as the task's state is no longer `seen` (the engine's own download
    // events wake it), or after `longest` with the state as it is then.
    EngineState waitTaskState(std::uint32_t task, EngineState seen,
                              std::chrono::milliseconds longest);
    std::int64_t taskTotalSize(std::uint32_t task);
    std::int64_t taskDownloadedSize(std::uint32_t task);
    std::uint32_t taskPercent(std::uint32_t task);
    int taskSourceCount(std::uint32_t task);
    int taskSourcesInUse(std::uint32_t task);
    std::int64_t taskPeerBytes(std::uint32_t task);
    std::int64_t taskOriginBytes(std::uint32_t task);
    std::int64_t taskServerBytes(std::uint32_t task);
    int taskSpeed(std::uint32_t task);
    int taskServerSpeed(std::uint32_t task);
    int taskPeerSpeed(std::uint32_t task);
    std::uint32_t taskOriginUsable(std::uint32_t task);
    std::uint32_t taskCreatingFile(std::uint32_t task);

    static std::string errorText(int code);
    static std::string stateName(int code);
    void setUploadSpeedLimit(std::int32_t first, std::int32_t second);

    // Bytes per second over all tasks, 0 for none; running tasks slow down or speed up
    // at once.
    bool setSpeedLimit(std::int64_t bytesPerSecond);
    // The proxies of the tasks created from now on (the engine's own proxy options;
    // proxies named by the environment count only through the route).
    bool setProxy(const ProxyRoute& route);

  private:
    struct Impl;
    Impl* impl_;
};

// The one engine of the program.
DownloadEngine& downloadEngine();

// Whether the engine may be handed this address: http or https in any case, and not a
// torrent or metalink file. Nothing else may reach it, so that no address can make the
// program a peer of a swarm or read a local file. Local text or UTF-8.
bool isEngineAddress(const std::string& url);
// The address with its scheme in lower case, the only form the engine knows.
std::string withLowerCaseScheme(const std::string& url);

// Whether a file the engine wrote is whole: it exists and no "<file>.aria2" control
// file lies beside it (a stopped engine leaves one beside every partial file, and a
// later task with resume continues from it). The path is local text.
bool isCompleteDownload(const std::string& filePath);

}  // namespace quivra

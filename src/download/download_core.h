// The download machinery of one program: the engine, the thread pool, the download list
// with its store, the download settings and the site's addresses. The windows and
// quivra-downloader-downloads start it and end it through these two routines, so both
// close in the same order, and hand it to the code under them.
#pragma once

#include <memory>
#include <string>

#include "base/guarded.h"
#include "base/records.h"
#include "base/time_window.h"

namespace quivra {

class DownloadEngine;
class DownloadQueue;
class DownloadSchedule;
class SubscriptionSchedule;
class ThreadPool;

struct DownloadCore {
    DownloadEngine& engine;  // the program's one engine (libaria2 allows one session)
    ThreadPool& pool;        // the program's one pool of workers
    std::shared_ptr<DownloadQueue> queue;
    Guarded<DownloadSettings>& settings;  // the program's download settings record
    SiteAddresses site;
    LocalClock clock;  // the time the windows of the settings are read at
    // Follows the settings' windows on that clock (followSettingChange hands it changes).
    std::shared_ptr<DownloadSchedule> schedule;
    // The windows' program checks its subscriptions here; null elsewhere.
    std::shared_ptr<SubscriptionSchedule> subscriptions = nullptr;
};

struct CoreStart {
    // Set even after a failure, so that stopDownloadCore can undo a partial start.
    std::shared_ptr<DownloadCore> core;
    bool engineStarted = false;
    std::string failure;       // why the pool did not start (local text), or ""
    std::string storeMessage;  // a broken downloads.db moved aside (local text), or ""
};

// Once the shared state is loaded: starts the engine in the program folder, the pool
// with `threads` workers (unless it runs already), opens the list (openDownloadList) and
// starts its schedule on the system's clock.
// The caller decides what a failure means.
CoreStart startDownloadCore(int threads, bool processMessages);

// Ends the core: first the schedule stops and the list is shut (parts still running stay unfinished
// in the store), then our merges are ended and no new one starts, the workers get up to
// workerWaitMs to let go (0: they are not waited for), and the engine is released
// (partial streams stay resumable). False when a worker still ran at the end.
bool stopDownloadCore(DownloadCore& core, int workerWaitMs);

}  // namespace quivra

// The download engine, the thread pool and the download list of a command that downloads,
// as the windows have them, and the wait for the parts it follows. It ends cleanly when
// every followed part is over; after Ctrl-C it ends as the main window closes: the list
// keeps running parts unfinished for the next get, our merges are ended (no MP4 under its
// final name), the engine keeps the partial streams resumable.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "app/cli/downloads/interrupts.h"
#include "app/cli/downloads/progress_output.h"
#include "download/download_core.h"
#include "download/list/download_queue.h"

namespace quivra {

class DownloadSession {
  public:
    // Starts the engine and the pool (the settings' thread number, which get -j overrides)
    // and opens the list. Null after saying why through output.
    static std::unique_ptr<DownloadSession> start(ProgressOutput& output, Interrupts& interrupts);
    // Ends the session: cleanly, or as the main window closes after a signal.
    ~DownloadSession();
    DownloadSession(const DownloadSession&) = delete;
    DownloadSession& operator=(const DownloadSession&) = delete;

    DownloadQueue& queue() { return *queue_; }

    // Shows the part and follows it from now on.
    void follow(const DownloadItem& item);

    struct Outcome {
        int done = 0;
        int failed = 0;  // each named on standard error with its reason
        bool interrupted = false;
    };
    // Shows every change of the followed parts until each is done, failed or cancelled,
    // or a signal asks to stop.
    Outcome wait();

    class Events;

  private:
    DownloadSession(std::shared_ptr<DownloadCore> core, ProgressOutput& output,
                    Interrupts& interrupts);
    void show(const DownloadItem& item);

    const std::shared_ptr<DownloadCore> core_;
    ProgressOutput& output_;
    Interrupts& interrupts_;
    std::shared_ptr<DownloadQueue> queue_;
    std::shared_ptr<Events> events_;
    std::map<std::int64_t, ItemState> followed_;
};

}  // namespace quivra

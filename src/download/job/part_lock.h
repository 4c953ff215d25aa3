// One part downloads in one job at a time, across programs. Two programs on one download
// folder (the window and a command line, or two command lines) may be asked for the same
// part at once, and downloads.db does not stop them: each has its own list. So a job holds
// the part's lock, an flock on <directory>/temp/<cid>.lock beside the part's temporary
// streams, for as long as it runs; the engine never writes one stream from two processes
// and two merges never meet. The lock ends with the job's process, however it ends.
#pragma once

#include <string>

#include "download/list/download_item.h"

namespace quivra {

class PartLock {
  public:
    enum Result {
        Taken,
        Busy,         // another job holds it, in this process or another
        Unavailable,  // no lock file can be made there (no folder, no write access)
    };

    PartLock() = default;
    ~PartLock() { release(); }
    PartLock(const PartLock&) = delete;
    PartLock& operator=(const PartLock&) = delete;

    // Tries once, without waiting. path: the lock file (local text).
    Result tryTake(const std::string& path);
    // The lock file goes while the lock is still held, then the lock ends.
    void release();

  private:
    int fd_ = -1;
    std::string path_;  // UTF-8
};

// <directory>/temp/<cid>.lock (local text).
std::string partLockPath(const DownloadRequest& request);

// Whether a job of any program holds the part's lock now.
bool isPartLocked(const DownloadRequest& request);

}  // namespace quivra

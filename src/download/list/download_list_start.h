// The download list at the start of a program (the windows or the command line).
#pragma once

#include <memory>
#include <string>

#include "download/list/download_queue.h"

namespace quivra {

class ThreadPool;

struct DownloadListOpening {
    std::shared_ptr<DownloadQueue> queue;
    std::string message;  // a broken store was moved aside: what to show (local text), or ""
};

// Opens downloads.db beside config.ini as a list that runs `job` for its parts on the pool
// and retries a failed part up to `retries` times; parts left unfinished come back paused.
DownloadListOpening openDownloadList(ThreadPool& pool, DownloadJob job,
                                     const std::string& configPath, int retries);

// Once the pool runs: the parts the last run left unfinished continue when the setting
// 启动时继续未完成的下载 ([download] resumeOnStart) is on; otherwise they stay paused.
void resumeUnfinishedDownloads(DownloadQueue& queue, bool resumeOnStart);

}  // namespace quivra

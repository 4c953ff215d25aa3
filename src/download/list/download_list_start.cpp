#include "download/list/download_list_start.h"

#include "download/list/download_queue.h"
#include "download/list/download_store.h"

namespace quivra {

DownloadListOpening openDownloadList(ThreadPool& pool, const std::string& configPath, int retries) {
    StoreOpening opening = DownloadStore::open(downloadStorePath(configPath));
    DownloadListOpening list;
    list.queue =
        std::make_shared<DownloadQueue>(pool, std::move(opening.store), std::move(opening.items));
    RetryPolicy policy;
    policy.tries = retries;
    list.queue->setRetryPolicy(policy);
    if (!opening.movedAsideTo.empty()) list.message = brokenStoreMessage(opening.movedAsideTo);
    return list;
}

void resumeUnfinishedDownloads(DownloadQueue& queue, bool resumeOnStart) {
    if (resumeOnStart) queue.resumeInterrupted();
}

}  // namespace quivra

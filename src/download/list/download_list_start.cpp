#include "download/list/download_list_start.h"

#include "download/list/download_queue.h"
#include "download/list/download_store.h"
#include "download/list/loaded_items.h"

namespace quivra {

DownloadListOpening openDownloadList(ThreadPool& pool, DownloadJob job,
                                     const std::string& configPath, int retries) {
    LoadedItems items;
    StoreOpening opening = DownloadStore::open(
        downloadStorePath(configPath), [&](DownloadItem&& item) { items.add(std::move(item)); });
    // Items handed before a broken file was moved aside came from that file.
    if (!opening.store || !opening.movedAsideTo.empty()) items = {};
    DownloadListOpening list;
    list.queue = std::make_shared<DownloadQueue>(pool, std::move(job), std::move(opening.store),
                                                 std::move(items));
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

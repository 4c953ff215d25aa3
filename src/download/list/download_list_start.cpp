#include "download/list/download_list_start.h"

#include <memory>

#include "base/shared_state.h"
#include "download/list/download_queue.h"
#include "download/list/download_store.h"
#include "download/thread_pool.h"

namespace quivra {

std::string openDownloadList() {
    LoadedItems items;
    StoreOpening opening =
        DownloadStore::open(downloadStorePath(sharedState().configPath),
                            [&](DownloadItem&& item) { items.add(std::move(item)); });
    // Items handed before a broken file was moved aside came from that file.
    if (!opening.store || !opening.movedAsideTo.empty()) items = {};
    auto queue = std::make_shared<DownloadQueue>(threadPool(), runDownloadJob,
                                                 std::move(opening.store), std::move(items));
    RetryPolicy retries;
    retries.tries = sharedState().download.get().retries;
    queue->setRetryPolicy(retries);
    setCurrentDownloadQueue(std::move(queue));
    return opening.movedAsideTo.empty() ? std::string() : brokenStoreMessage(opening.movedAsideTo);
}

void resumeUnfinishedDownloads() {
    if (sharedState().download.get().resumeOnStart) currentDownloadQueue()->resumeInterrupted();
}

}  // namespace quivra

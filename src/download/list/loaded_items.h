// The items a queue starts with, as the store hands them over one at a time: a finished
// part is made compact as it arrives, so a long list is never whole in memory twice.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "download/list/download_item.h"
#include "download/list/finished_part.h"

namespace quivra {

struct LoadedItems {
    std::vector<DownloadItem> items;     // not done, oldest first
    std::vector<FinishedPart> finished;  // done, oldest first
    // Each item's fingerprint as the store holds it (store_rows.h), by id.
    std::vector<std::pair<std::int64_t, std::uint64_t>> fingerprints;

    void add(DownloadItem&& item);
};

LoadedItems loadedItems(std::vector<DownloadItem> items);

}  // namespace quivra

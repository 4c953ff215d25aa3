#include "download/list/loaded_items.h"

#include "download/list/store_rows.h"

namespace quivra {

void LoadedItems::add(DownloadItem&& item) {
    fingerprints.emplace_back(item.id, itemFingerprint(item));
    if (item.state == ItemState::Done) {
        finished.emplace_back(item);
    } else {
        items.push_back(std::move(item));
    }
}

LoadedItems loadedItems(std::vector<DownloadItem> items) {
    LoadedItems loaded;
    for (DownloadItem& item : items) loaded.add(std::move(item));
    return loaded;
}

}  // namespace quivra

// The items of a download list by id, oldest first: whole entries for what runs or may run
// again, and the finished parts loaded, which make most of a long list, kept compact
// (finished_part.h) until they are touched; and the item of each output path.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string_view>

#include "download/list/download_item.h"
#include "download/list/finished_part.h"
#include "download/list/output_index.h"

namespace quivra {

struct QueueEntry {
    DownloadItem item;
    std::uint64_t runToken = 0;  // changes when the item's job must stop
    bool inPool = false;         // a pool packet will run the item
    bool running = false;        // a job runs the item
    bool foreign = false;        // another program runs it: its changes come from the store
};

class ItemTable {
  public:
    using Visit = std::function<void(const DownloadItem&)>;

    ItemTable() = default;
    ItemTable(const ItemTable&) = delete;  // the output index asks this table for paths
    ItemTable& operator=(const ItemTable&) = delete;

    QueueEntry* whole(std::int64_t id);  // nullptr for a compact finished part
    QueueEntry* find(std::int64_t id);   // any: a finished part found becomes whole again
    QueueEntry& add(std::int64_t id);    // a new whole entry
    void addFinished(FinishedPart part);
    void erase(std::int64_t id);  // with its output path

    std::optional<std::int64_t> idOfOutput(std::string_view path) const;
    void claimOutput(std::int64_t id);        // the item of its path from now on
    void indexOutputIfFree(std::int64_t id);  // unless its path has an item
    // At load: two items of one path (two programs added it at once), the newer counts.
    void indexOutputIfNewer(std::int64_t id);

    // Whole entries only: the rules that look at items under way.
    std::map<std::int64_t, QueueEntry>& entries() { return entries_; }
    const std::map<std::int64_t, QueueEntry>& entries() const { return entries_; }
    void visit(const Visit& visit) const;  // every item; a compact one whole for the visit
    bool visit(std::int64_t id, const Visit& visit) const;
    std::size_t size() const { return entries_.size() + finished_.size(); }

  private:
    std::string_view outputPathOf(std::int64_t id) const;

    std::map<std::int64_t, QueueEntry> entries_;
    std::map<std::int64_t, FinishedPart> finished_;
    OutputIndex byOutput_{[this](std::int64_t id) { return outputPathOf(id); }};
};

}  // namespace quivra

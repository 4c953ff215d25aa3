#include "download/list/item_table.h"

#include <utility>

namespace quivra {

QueueEntry* ItemTable::whole(std::int64_t id) {
    const auto found = entries_.find(id);
    return found == entries_.end() ? nullptr : &found->second;
}

QueueEntry* ItemTable::find(std::int64_t id) {
    if (QueueEntry* entry = whole(id)) return entry;
    const auto compact = finished_.find(id);
    if (compact == finished_.end()) return nullptr;
    QueueEntry& entry = entries_[id];
    entry.item = compact->second.item();
    finished_.erase(compact);
    return &entry;
}

QueueEntry& ItemTable::add(std::int64_t id) {
    QueueEntry& entry = entries_[id];
    entry.item.id = id;
    return entry;
}

void ItemTable::addFinished(FinishedPart part) {
    const std::int64_t id = part.id();
    finished_.insert_or_assign(id, std::move(part));
}

void ItemTable::erase(std::int64_t id) {
    byOutput_.erase(outputPathOf(id));
    entries_.erase(id);
    finished_.erase(id);
}

std::optional<std::int64_t> ItemTable::idOfOutput(std::string_view path) const {
    return byOutput_.find(path);
}

void ItemTable::claimOutput(std::int64_t id) {
    byOutput_.set(outputPathOf(id), id);
}

void ItemTable::indexOutputIfFree(std::int64_t id) {
    byOutput_.add(outputPathOf(id), id);
}

void ItemTable::indexOutputIfNewer(std::int64_t id) {
    const std::string_view path = outputPathOf(id);
    const std::optional<std::int64_t> known = byOutput_.find(path);
    if (!known || *known < id) byOutput_.set(path, id);
}

void ItemTable::visit(const Visit& visit) const {
    auto whole = entries_.begin();
    auto compact = finished_.begin();
    while (whole != entries_.end() || compact != finished_.end()) {
        if (compact == finished_.end() ||
            (whole != entries_.end() && whole->first < compact->first)) {
            visit((whole++)->second.item);
        } else {
            visit((compact++)->second.item());
        }
    }
}

bool ItemTable::visit(std::int64_t id, const Visit& visit) const {
    if (const auto entry = entries_.find(id); entry != entries_.end()) {
        visit(entry->second.item);
        return true;
    }
    const auto compact = finished_.find(id);
    if (compact == finished_.end()) return false;
    visit(compact->second.item());
    return true;
}

std::string_view ItemTable::outputPathOf(std::int64_t id) const {
    if (const auto entry = entries_.find(id); entry != entries_.end()) {
        return entry->second.item.request.outputPath;
    }
    const auto compact = finished_.find(id);
    return compact == finished_.end() ? std::string_view() : compact->second.outputPath();
}

}  // namespace quivra

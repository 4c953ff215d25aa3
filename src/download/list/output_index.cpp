#include "download/list/output_index.h"

namespace quivra {

std::unordered_multimap<std::size_t, std::int64_t>::const_iterator OutputIndex::at(
    std::string_view path) const {
    const auto [first, last] = ids_.equal_range(std::hash<std::string_view>{}(path));
    for (auto it = first; it != last; ++it) {
        if (pathOf_(it->second) == path) return it;
    }
    return ids_.end();
}

std::optional<std::int64_t> OutputIndex::find(std::string_view path) const {
    const auto found = at(path);
    if (found == ids_.end()) return std::nullopt;
    return found->second;
}

void OutputIndex::set(std::string_view path, std::int64_t id) {
    erase(path);
    ids_.emplace(std::hash<std::string_view>{}(path), id);
}

void OutputIndex::add(std::string_view path, std::int64_t id) {
    if (at(path) == ids_.end()) ids_.emplace(std::hash<std::string_view>{}(path), id);
}

void OutputIndex::erase(std::string_view path) {
    const auto found = at(path);
    if (found != ids_.end()) ids_.erase(found);
}

}  // namespace quivra

// Which entries of a listing to take: by position, publication date and title, as the
// list window's filters and the command line's --items, --since, --until, --match choose.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "video/listing/list_entry.h"

namespace quivra {

struct EntryFilter {
    // Positions counted from 1, each range inclusive; empty: every position.
    std::vector<std::pair<int, int>> items;
    std::optional<std::int64_t> since;  // published at or after (seconds since the epoch)
    std::optional<std::int64_t> until;  // a day's midnight: published on that day or before
    std::string match;                  // in the title, ignoring case; "" any (local text)
};

// "1-20,25" into ranges; nullopt for a malformed text.
std::optional<std::vector<std::pair<int, int>>> parseItemRanges(const std::string& text);
// "2026-01-01" as the local midnight of that day; nullopt for a malformed date.
std::optional<std::int64_t> parseDay(const std::string& text);

// The indexes (from 0) of the entries the filter takes, in list order; entries that
// cannot be downloaded are never taken.
std::vector<size_t> filterEntries(const std::vector<ListEntry>& entries, const EntryFilter& filter);

}  // namespace quivra

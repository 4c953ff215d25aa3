#include "video/listing/entry_filter.h"

#include <algorithm>
#include <ctime>

#include "net/text_helpers.h"

namespace quivra {
namespace {

// Decimal digits only, at most nine of them (no overflow); nullopt otherwise.
std::optional<int> smallNumber(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<std::pair<int, int>> parseRange(const std::string& piece) {
    const size_t dash = piece.find('-');
    const auto first = smallNumber(trimBlanks(piece.substr(0, dash)));
    const auto last =
        dash == std::string::npos ? first : smallNumber(trimBlanks(piece.substr(dash + 1)));
    if (!first || !last || *first < 1 || *last < *first) return std::nullopt;
    return std::make_pair(*first, *last);
}

std::optional<std::int64_t> localMidnight(int year, int month, int day) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_isdst = -1;
    const std::time_t time = std::mktime(&fields);
    // mktime moves 2026-02-30 to March: such a day does not exist.
    if (time == -1 || fields.tm_mday != day || fields.tm_mon != month - 1) return std::nullopt;
    return static_cast<std::int64_t>(time);
}

// The midnight that ends the day beginning at `midnight` (23 to 25 hours later).
std::int64_t nextMidnight(std::int64_t midnight) {
    const std::time_t time = static_cast<std::time_t>(midnight);
    std::tm fields{};
    localtime_r(&time, &fields);
    fields.tm_mday += 1;
    fields.tm_hour = 0;
    fields.tm_min = 0;
    fields.tm_sec = 0;
    fields.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&fields));
}

// Which positions (from 0) the ranges take, in one pass: many ranges over a long list
// stay linear.
std::vector<bool> takenPositions(const std::vector<std::pair<int, int>>& ranges, size_t count) {
    if (ranges.empty()) return std::vector<bool>(count, true);
    std::vector<bool> taken(count, false);
    for (const auto& [first, last] : ranges) {
        for (size_t i = static_cast<size_t>(std::max(first, 1)) - 1;
             i < count && i < static_cast<size_t>(last); ++i) {
            taken[i] = true;
        }
    }
    return taken;
}

}  // namespace

std::optional<std::vector<std::pair<int, int>>> parseItemRanges(const std::string& text) {
    std::vector<std::pair<int, int>> ranges;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const auto range = parseRange(text.substr(start, comma - start));
        if (!range) return std::nullopt;
        ranges.push_back(*range);
        start = comma + 1;
    }
    return ranges;
}

std::optional<std::int64_t> parseDay(const std::string& text) {
    const std::string day = trimBlanks(text);
    const size_t firstDash = day.find('-');
    const size_t secondDash = day.find('-', firstDash == std::string::npos ? 0 : firstDash + 1);
    if (firstDash != 4 || secondDash == std::string::npos) return std::nullopt;
    const auto year = smallNumber(day.substr(0, 4));
    const std::string monthText = day.substr(firstDash + 1, secondDash - firstDash - 1);
    const std::string dayText = day.substr(secondDash + 1);
    if (monthText.size() > 2 || dayText.size() > 2) return std::nullopt;
    const auto month = smallNumber(monthText);
    const auto dayOfMonth = smallNumber(dayText);
    if (!year || !month || !dayOfMonth || *year < 1970) return std::nullopt;
    return localMidnight(*year, *month, *dayOfMonth);
}

std::vector<size_t> filterEntries(const std::vector<ListEntry>& entries,
                                  const EntryFilter& filter) {
    const std::string match = lowerAscii(filter.match);
    std::optional<std::int64_t> before;
    if (filter.until) before = nextMidnight(*filter.until);
    const std::vector<bool> positions = takenPositions(filter.items, entries.size());
    std::vector<size_t> taken;
    for (size_t i = 0; i < entries.size(); ++i) {
        const ListEntry& entry = entries[i];
        if (!entry.unavailable.empty() || !positions[i]) {
            continue;
        }
        // A date filter never takes an entry whose date the site did not give.
        if ((filter.since || before) && entry.published == 0) continue;
        if (filter.since && entry.published < *filter.since) continue;
        if (before && entry.published >= *before) continue;
        if (!match.empty() && findLocal(lowerAscii(entry.title), match) == std::string::npos) {
            continue;
        }
        taken.push_back(i);
    }
    return taken;
}

}  // namespace quivra

#include "video/listing/entry_filter.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "net/text_encoding.h"

namespace quivra {
namespace {

using Ranges = std::vector<std::pair<int, int>>;

TEST(ItemRanges, ReadsRangesAndSinglePositions) {
    EXPECT_EQ(parseItemRanges("1-20,25"), (Ranges{{1, 20}, {25, 25}}));
    EXPECT_EQ(parseItemRanges(" 3 - 4 , 7"), (Ranges{{3, 4}, {7, 7}}));
    EXPECT_EQ(parseItemRanges("5"), (Ranges{{5, 5}}));
    for (const std::string bad :
         {"", ",", "1,", "0", "0-3", "4-2", "1-", "-3", "a", "1-2-3", "1;2", "9999999999"}) {
        EXPECT_FALSE(parseItemRanges(bad)) << bad;
    }
}

TEST(Day, IsTheLocalMidnightOfAnExistingDay) {
    const auto day = parseDay("2026-01-01");
    ASSERT_TRUE(day);
    const std::time_t time = static_cast<std::time_t>(*day);
    std::tm fields{};
    localtime_r(&time, &fields);
    EXPECT_EQ(fields.tm_year, 126);
    EXPECT_EQ(fields.tm_mon, 0);
    EXPECT_EQ(fields.tm_mday, 1);
    EXPECT_EQ(fields.tm_hour, 0);
    EXPECT_EQ(fields.tm_min, 0);
    EXPECT_TRUE(parseDay("2024-02-29"));
    for (const std::string bad :
         {"", "2026-13-01", "2026-02-30", "2025-02-29", "2026-01", "26-01-01", "2026/01/01",
          "2026-01-01x", "2026-001-01", "1969-12-31"}) {
        EXPECT_FALSE(parseDay(bad)) << bad;
    }
}

std::vector<ListEntry> sampleEntries() {
    const auto at = [](const char* day, int hour) { return *parseDay(day) + hour * 3600; };
    std::vector<ListEntry> entries(6);
    const char* titles[] = {"Morning Walk", "晨光 VLOG", "removed", "夜景 vlog", "Rain", "undated"};
    for (size_t i = 0; i < entries.size(); ++i) entries[i].title = localText(titles[i]);
    entries[0].published = at("2026-01-05", 9);
    entries[1].published = at("2026-01-03", 23);
    entries[2].published = at("2026-01-03", 10);
    entries[2].unavailable = localText("已失效视频");
    entries[3].published = at("2026-01-02", 0);
    entries[4].published = at("2025-12-31", 12);
    return entries;  // the last has no date
}

struct FilterCase {
    const char* name;
    EntryFilter filter;
    std::vector<size_t> taken;
};

class EntryFiltering : public ::testing::TestWithParam<FilterCase> {};

TEST_P(EntryFiltering, TakesWhatTheFilterChooses) {
    EXPECT_EQ(filterEntries(sampleEntries(), GetParam().filter), GetParam().taken);
}

EntryFilter withItems(Ranges items) {
    EntryFilter filter;
    filter.items = std::move(items);
    return filter;
}
EntryFilter withDays(const char* since, const char* until) {
    EntryFilter filter;
    if (since) filter.since = parseDay(since);
    if (until) filter.until = parseDay(until);
    return filter;
}
EntryFilter withMatch(const char* text) {
    EntryFilter filter;
    filter.match = localText(text);
    return filter;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryFiltering,
    ::testing::Values(FilterCase{"EverythingButTheUnavailable", {}, {0, 1, 3, 4, 5}},
                      FilterCase{"PositionsFromOne", withItems({{2, 3}, {6, 9}}), {1, 5}},
                      FilterCase{"RangePastTheEnd", withItems({{5, 999999999}}), {4, 5}},
                      FilterCase{"SinceIsInclusive", withDays("2026-01-03", nullptr), {0, 1}},
                      // until takes its whole day, up to 23:59:59
                      FilterCase{"UntilTakesItsDay", withDays(nullptr, "2026-01-03"), {1, 3, 4}},
                      FilterCase{"OneDay", withDays("2026-01-02", "2026-01-02"), {3}},
                      FilterCase{"MatchIgnoresCase", withMatch("VloG"), {1, 3}},
                      FilterCase{"MatchChinese", withMatch("夜景"), {3}},
                      FilterCase{"MatchOnRemovedTakesNone", withMatch("removed"), {}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace quivra

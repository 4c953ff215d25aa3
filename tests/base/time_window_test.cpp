// The daily time windows: their text, which times are inside, the edges a clock passes
// (each once, however the clock jumps), and the speed limit in force.
#include "base/time_window.h"

#include <gtest/gtest.h>

#include <optional>

#include "base/setting_windows.h"
#include "base/settings_table.h"

namespace quivra {
namespace {

constexpr std::int64_t kDay = kMinutesPerDay;
constexpr std::int64_t kMonday = 20'000 * kDay;  // a day of the local calendar, at midnight

constexpr std::int64_t at(std::int64_t day, int hour, int minute) {
    return day + hour * 60 + minute;
}

TEST(TimeWindow, TextsReadAsWindowsOrAsOffWithAReason) {
    struct Case {
        const char* text;
        std::optional<TimeWindow> window;
    };
    const Case cases[] = {
        {"01:00-07:00", TimeWindow{60, 420}},
        {"23:30-01:15", TimeWindow{1410, 75}},  // spans midnight
        {" 1:05 - 7:00 ", TimeWindow{65, 420}},
        {"00:00-23:59", TimeWindow{0, 1439}},
        {"08:00-08:00", std::nullopt},  // no length
        {"24:00-07:00", std::nullopt},
        {"01:60-07:00", std::nullopt},
        {"01:00", std::nullopt},
        {"01:00-", std::nullopt},
        {"1:0-7:00", std::nullopt},
        {"001:00-07:00", std::nullopt},
        {"01:00-07:00-09:00", std::nullopt},
        {"ab:cd-07:00", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const TimeWindowParse parse = parseTimeWindow(c.text);
        EXPECT_EQ(parse.window, c.window);
        EXPECT_EQ(parse.reason.empty(), c.window.has_value());
    }
    EXPECT_EQ(timeWindowText({65, 1410}), "01:05-23:30");
}

TEST(TimeWindow, TimesInsideIncludeTheStartAndNotTheEnd) {
    struct Case {
        TimeWindow window;
        int hour, minute;
        bool inside;
    };
    const Case cases[] = {
        {{60, 420}, 0, 59, false},  {{60, 420}, 1, 0, true},    {{60, 420}, 6, 59, true},
        {{60, 420}, 7, 0, false},   {{1380, 120}, 23, 0, true}, {{1380, 120}, 0, 0, true},
        {{1380, 120}, 1, 59, true}, {{1380, 120}, 2, 0, false}, {{1380, 120}, 22, 59, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(timeWindowText(c.window) + " at " + clockText(c.hour * 60 + c.minute));
        EXPECT_EQ(windowContains(c.window, at(kMonday, c.hour, c.minute)), c.inside);
    }
}

// The clock moves step by step, is set back and jumps ahead; the window opens and closes
// as its edges come, each at most once.
TEST(TimeWindow, EachStartAndEndIsFollowedOnceHoweverTheClockJumps) {
    const std::optional<TimeWindow> window = TimeWindow{60, 420};
    struct Step {
        const char* what;
        std::int64_t now;
        bool open;
    };
    const Step steps[] = {
        {"before the start", at(kMonday, 0, 30), false},
        {"the start", at(kMonday, 1, 0), true},
        {"set back before the start: it came already", at(kMonday, 0, 50), true},
        {"the end", at(kMonday, 7, 0), false},
        {"set back into the window: the start does not come again", at(kMonday, 6, 30), false},
        {"the end again", at(kMonday, 7, 0), false},
        {"the next day's start", at(kMonday + kDay, 1, 0), true},
        {"a jump over an end and a start", at(kMonday + 2 * kDay, 3, 0), true},
        {"a jump over a start and an end", at(kMonday + 3 * kDay, 8, 0), false},
    };
    WindowEdges edges;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(edges.open(window, step.now), step.open);
    }
    const std::optional<TimeWindow> other = TimeWindow{420, 540};  // taken as it stands
    EXPECT_TRUE(edges.open(other, at(kMonday + 3 * kDay, 8, 0)));
    EXPECT_TRUE(edges.open(std::nullopt, at(kMonday + 3 * kDay, 10, 0)));
}

TEST(TimeWindow, TheLimitHoldsOnlyInsideItsWindowWhileSwitchedOn) {
    struct Case {
        const char* what;
        bool limitOn;
        bool windowOn;
        const char* window;
        int hour;
        std::int64_t limit;
    };
    const Case cases[] = {
        {"switched off", false, true, "08:00-23:00", 12, 0},
        {"no window: all day", true, false, "08:00-23:00", 3, 512 << 10},
        {"inside", true, true, "08:00-23:00", 12, 512 << 10},
        {"outside", true, true, "08:00-23:00", 23, 0},
        {"inside, across midnight", true, true, "22:00-02:00", 1, 512 << 10},
        {"outside, across midnight", true, true, "22:00-02:00", 12, 0},
        {"a broken window reads as off", true, true, "8-23", 3, 512 << 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DownloadSettings settings = defaultDownloadSettings();
        settings.speedLimit = 512 << 10;
        settings.speedLimitOn = c.limitOn;
        settings.speedLimitWindowOn = c.windowOn;
        settings.speedLimitWindow = c.window;
        EXPECT_EQ(effectiveSpeedLimit(settings, at(kMonday, c.hour, 0)), c.limit);
    }
}

}  // namespace
}  // namespace quivra

// A daily window of local time, "HH:MM-HH:MM": the download window and the speed limit's.
// Times are minutes of the local calendar since 1970-01-01 00:00, as a wall clock shows
// them, read from a clock the caller hands over (the system's, or one a test sets).
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quivra {

constexpr int kMinutesPerDay = 24 * 60;

// Local minutes now; a test hands its own.
using LocalClock = std::function<std::int64_t()>;
std::int64_t systemLocalMinutes();

struct TimeWindow {
    int start = 0;  // minutes after midnight
    int end = 0;    // before start: the window spans midnight
    bool operator==(const TimeWindow&) const = default;
};

struct TimeWindowParse {
    std::optional<TimeWindow> window;  // none: the text reads as off
    std::string reason;                // why not (local text), for the settings window
};

// "H:MM-H:MM", blanks allowed around the parts; equal ends name no window.
TimeWindowParse parseTimeWindow(std::string_view text);
std::string timeWindowText(const TimeWindow& window);  // "01:00-07:00"
std::string clockText(int minuteOfDay);                // "01:00"

bool windowContains(const TimeWindow& window, std::int64_t localMinutes);

// A start or an end of the window at a time.
struct WindowEdge {
    std::int64_t at = 0;  // local minutes
    bool start = false;
};
// The last start or end at or before now.
WindowEdge lastWindowEdge(const TimeWindow& window, std::int64_t localMinutes);

// Follows a window on a clock, each start and end at most once: a clock set back brings
// none of them again, and one that jumps over several leaves the state the last one made.
class WindowEdges {
  public:
    // Whether the window is open at that time. A window other than the last one asked
    // about (or none: always open) is taken as it stands at that time.
    bool open(const std::optional<TimeWindow>& window, std::int64_t localMinutes);

  private:
    std::optional<TimeWindow> window_;
    std::int64_t seen_ = LLONG_MIN;  // the last edge followed
    bool open_ = true;
};

}  // namespace quivra

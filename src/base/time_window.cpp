#include "base/time_window.h"

#include <ctime>

#include "net/text_encoding.h"
#include "net/text_helpers.h"

namespace quivra {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "H:MM" or "HH:MM" as minutes after midnight; none when it is no time of a day.
std::optional<int> minuteOfDay(std::string_view blanked) {
    const std::string whole = trimBlanks(std::string(blanked));
    const std::string_view text = whole;
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 1 || colon > 2 || text.size() != colon + 3) {
        return std::nullopt;
    }
    int hour = 0;
    for (std::size_t i = 0; i < colon; ++i) {
        if (!isDigit(text[i])) return std::nullopt;
        hour = hour * 10 + (text[i] - '0');
    }
    if (!isDigit(text[colon + 1]) || !isDigit(text[colon + 2])) return std::nullopt;
    const int minute = (text[colon + 1] - '0') * 10 + (text[colon + 2] - '0');
    if (hour > 23 || minute > 59) return std::nullopt;
    return hour * 60 + minute;
}

std::int64_t dayOf(std::int64_t localMinutes) {
    const std::int64_t day = localMinutes / kMinutesPerDay;
    return localMinutes % kMinutesPerDay < 0 ? day - 1 : day;
}

}  // namespace

std::int64_t systemLocalMinutes() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::int64_t seconds = static_cast<std::int64_t>(now) + local.tm_gmtoff;
    return seconds >= 0 ? seconds / 60 : (seconds - 59) / 60;
}

TimeWindowParse parseTimeWindow(std::string_view text) {
    TimeWindowParse parse;
    const std::size_t dash = text.find('-');
    const std::optional<int> start =
        dash == std::string_view::npos ? std::nullopt : minuteOfDay(text.substr(0, dash));
    const std::optional<int> end =
        dash == std::string_view::npos ? std::nullopt : minuteOfDay(text.substr(dash + 1));
    if (!start || !end) {
        parse.reason = localText("时段应写作“时:分-时:分”，如 01:00-07:00");
    } else if (*start == *end) {
        parse.reason = localText("时段的开始与结束相同");
    } else {
        parse.window = TimeWindow{*start, *end};
    }
    return parse;
}

std::string clockText(int minuteOfDay) {
    const int hour = minuteOfDay / 60;
    const int minute = minuteOfDay % 60;
    return std::string{static_cast<char>('0' + hour / 10), static_cast<char>('0' + hour % 10), ':',
                       static_cast<char>('0' + minute / 10), static_cast<char>('0' + minute % 10)};
}

std::string timeWindowText(const TimeWindow& window) {
    return clockText(window.start) + "-" + clockText(window.end);
}

bool windowContains(const TimeWindow& window, std::int64_t localMinutes) {
    return lastWindowEdge(window, localMinutes).start;
}

WindowEdge lastWindowEdge(const TimeWindow& window, std::int64_t localMinutes) {
    WindowEdge last{LLONG_MIN, false};
    const std::int64_t today = dayOf(localMinutes) * kMinutesPerDay;
    for (const std::int64_t day : {today - kMinutesPerDay, today}) {
        for (const WindowEdge edge :
             {WindowEdge{day + window.start, true}, WindowEdge{day + window.end, false}}) {
            if (edge.at <= localMinutes && edge.at > last.at) last = edge;
        }
    }
    return last;
}

bool WindowEdges::open(const std::optional<TimeWindow>& window, std::int64_t localMinutes) {
    if (window != window_) {
        window_ = window;
        seen_ = LLONG_MIN;
        open_ = true;
    }
    if (!window) return open_;
    if (const WindowEdge edge = lastWindowEdge(*window, localMinutes); edge.at > seen_) {
        seen_ = edge.at;
        open_ = edge.start;
    }
    return open_;
}

}  // namespace quivra

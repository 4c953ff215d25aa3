#include "base/date_text.h"

#include <langinfo.h>
#include <locale.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace quivra {
namespace {

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The locale name that LC_TIME would take from the environment.
std::string timeLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return value;
    }
    return "C";
}

// A time pattern of the locale tells its clock: %H, %k, %T and %R count hours to 23;
// %I, %l and %r count them to 12.
bool timeFormatIs24Hour(std::string_view format) {
    bool twelve = false;
    bool twentyFour = false;
    for (size_t i = 0; i + 1 < format.size(); ++i) {
        if (format[i] != '%') continue;
        size_t conversion = i + 1;
        // Skip flags and modifiers such as %-I, %OH, %EH.
        while (conversion < format.size() &&
               std::string_view("_-0^#OE").find(format[conversion]) != std::string_view::npos) {
            ++conversion;
        }
        if (conversion >= format.size()) break;
        switch (format[conversion]) {
            case 'H':
            case 'k':
            case 'T':
            case 'R':
                twentyFour = true;
                break;
            case 'I':
            case 'l':
            case 'r':
                twelve = true;
                break;
            default:
                break;
        }
        i = conversion;
    }
    return twentyFour || !twelve;
}

std::string twoDigits(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

// "yyyy-MM-dd " followed by "HH:mm:ss" or, on a 12-hour clock, "hh:mm:ss" (no marker).
std::string formatSecondsAtUtc8(long long seconds, bool use24Hour) {
    using namespace std::chrono;
    const sys_seconds moment{std::chrono::seconds(seconds + 8 * 3600)};
    const sys_days day = floor<days>(moment);
    const year_month_day date{day};
    const hh_mm_ss clock{moment - day};
    int hour = static_cast<int>(clock.hours().count());
    if (!use24Hour) {
        hour %= 12;
        if (hour == 0) hour = 12;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return buffer + twoDigits(hour) + ":" + twoDigits(static_cast<int>(clock.minutes().count())) +
           ":" + twoDigits(static_cast<int>(clock.seconds().count()));
}

// Milliseconds as a script engine's date would show them in local time, rearranged to
// year-month-day (no leading zeros), a blank and the time.
std::string formatMillisecondsLocal(std::string_view text) {
    // A script date accepts at most 8.64e15 ms either side of the epoch.
    constexpr long long kLimit = 8'640'000'000'000'000LL;
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (!allDigits(text) || text.size() > 16) return "";
    long long milliseconds = std::strtoll(std::string(text).c_str(), nullptr, 10);
    if (milliseconds > kLimit) return "";
    if (negative) milliseconds = -milliseconds;

    long long seconds = milliseconds / 1000;
    if (milliseconds % 1000 < 0) --seconds;  // floor, so times before 1970 stay right
    const std::time_t moment = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&moment, &local)) return "";
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%lld-%d-%d %02d:%02d:%02d",
                  static_cast<long long>(local.tm_year) + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
    return buffer;
}

}  // namespace

bool localeUses24HourClock() {
    // setlocale may not have been called, so the environment names the locale.
    locale_t locale = newlocale(LC_TIME_MASK, timeLocaleName().c_str(), static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) return true;  // unknown name: the C locale
    const char* format = nl_langinfo_l(T_FMT, locale);
    const bool result = timeFormatIs24Hour(format ? format : "");
    freelocale(locale);
    return result;
}

std::string timestampToDate(const std::string& timestamp) {
    if (timestamp.size() == 10) {
        const bool hasSign = timestamp.front() == '-' || timestamp.front() == '+';
        if (!allDigits(std::string_view(timestamp).substr(hasSign ? 1 : 0))) return "";
        return formatSecondsAtUtc8(std::strtoll(timestamp.c_str(), nullptr, 10),
                                   localeUses24HourClock());
    }
    return formatMillisecondsLocal(timestamp);
}

}  // namespace quivra

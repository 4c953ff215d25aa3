// Timestamps of the site as date texts.
#pragma once

#include <cstdint>
#include <string>

namespace quivra {

// 10 bytes: seconds, shown at UTC+8 as "yyyy-MM-dd HH:mm:ss" (or hh on a 12-hour
// locale). Any other length: milliseconds in local time as year-month-day without
// leading zeros, a blank, and the time. Unusable input gives "".
std::string timestampToDate(const std::string& timestamp);

// True when the user's locale uses a 24-hour clock.
bool localeUses24HourClock();

}  // namespace quivra

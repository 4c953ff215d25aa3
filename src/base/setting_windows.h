// What the download settings' time windows mean at a time: whether downloads may start and
// the speed limit in force. A window that is off, or whose text is broken, reads as none.
#pragma once

#include <cstdint>
#include <optional>

#include "base/records.h"
#include "base/time_window.h"

namespace quivra {

// 下载时段: outside it parts wait; none while off or broken.
std::optional<TimeWindow> downloadWindowOf(const DownloadSettings& settings);
// 限速时段: the limit holds only inside it; none (all day) while off or broken.
std::optional<TimeWindow> speedLimitWindowOf(const DownloadSettings& settings);

// The limit in force at that time (bytes per second): none while the switch is off or
// outside the limit's window.
std::int64_t effectiveSpeedLimit(const DownloadSettings& settings, std::int64_t localMinutes);

}  // namespace quivra

#include "base/setting_windows.h"

namespace quivra {

namespace {

std::optional<TimeWindow> windowOf(bool on, const std::string& text) {
    return on ? parseTimeWindow(text).window : std::nullopt;
}

}  // namespace

std::optional<TimeWindow> downloadWindowOf(const DownloadSettings& settings) {
    return windowOf(settings.downloadWindowOn, settings.downloadWindow);
}

std::optional<TimeWindow> speedLimitWindowOf(const DownloadSettings& settings) {
    return windowOf(settings.speedLimitWindowOn, settings.speedLimitWindow);
}

std::int64_t effectiveSpeedLimit(const DownloadSettings& settings, std::int64_t localMinutes) {
    if (!settings.speedLimitOn) return 0;
    const std::optional<TimeWindow> window = speedLimitWindowOf(settings);
    return !window || windowContains(*window, localMinutes) ? settings.speedLimit : 0;
}

}  // namespace quivra

#include "download/job/progress_text.h"

#include <cmath>
#include <cstdio>

namespace quivra {

std::string megabyteText(std::int64_t bytes) {
    const double megabytes = static_cast<double>(bytes) / 1048576.0;
    double rounded = std::round(megabytes * 100.0) / 100.0;  // std::round: halves away from 0
    if (rounded == 0.0) rounded = 0.0;                       // no "-0"
    char text[64];
    std::snprintf(text, sizeof text, "%.13g", rounded);
    return text;
}

std::string progressText(std::int64_t downloadedBytes, std::int64_t totalBytes) {
    return megabyteText(downloadedBytes) + "MB/" + megabyteText(totalBytes) + "MB";
}

std::string byteSizeText(std::int64_t bytes) {
    const double kib = static_cast<double>(bytes) / 1024.0;
    char text[64];
    if (kib < 1024.0) {
        std::snprintf(text, sizeof text, "%.0f KB", kib);
    } else if (kib < 1024.0 * 1024.0) {
        std::snprintf(text, sizeof text, "%.1f MB", kib / 1024.0);
    } else {
        std::snprintf(text, sizeof text, "%.2f GB", kib / 1024.0 / 1024.0);
    }
    return text;
}

std::string remainingText(std::int64_t seconds) {
    const std::int64_t hours = seconds / 3600;
    char text[64];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(hours),
                      static_cast<long long>(seconds / 60 % 60),
                      static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60 % 60),
                      static_cast<long long>(seconds % 60));
    }
    return text;
}

}  // namespace quivra

#include "download/progress_text.h"

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

}  // namespace quivra

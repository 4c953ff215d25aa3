// Texts of a transfer: the "状态" text of a transferring stream (megabytes done and
// megabytes in all), and the sizes and times of the download list and the command line.
#pragma once

#include <cstdint>
#include <string>

namespace quivra {

// bytes / 1,048,576 rounded to two decimals (halves away from zero), written in the
// "%.13g" form: 0, 3.5, 12.25.
std::string megabyteText(std::int64_t bytes);

// "<downloaded>MB/<total>MB", e.g. 1,572,864 of 10,485,760 bytes gives "1.5MB/10MB".
std::string progressText(std::int64_t downloadedBytes, std::int64_t totalBytes);

// "850 KB", "12.3 MB", "1.20 GB".
std::string byteSizeText(std::int64_t bytes);
// "m:ss" or "h:mm:ss".
std::string remainingText(std::int64_t seconds);

}  // namespace quivra

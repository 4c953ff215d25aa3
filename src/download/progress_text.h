// The "状态" text of a transferring stream: megabytes done and megabytes in all.
#pragma once

#include <cstdint>
#include <string>

namespace quivra {

// bytes / 1,048,576 rounded to two decimals (halves away from zero), written in the
// "%.13g" form: 0, 3.5, 12.25.
std::string megabyteText(std::int64_t bytes);

// "<downloaded>MB/<total>MB", e.g. 1,572,864 of 10,485,760 bytes gives "1.5MB/10MB".
std::string progressText(std::int64_t downloadedBytes, std::int64_t totalBytes);

}  // namespace quivra

// The site's video information: title, owner, statistics and parts of one video.
#pragma once

#include <string>

#include "base/records.h"

namespace quivra {

// The most parts one parse lists, far above any real video: an answer claiming more
// cannot make the program exhaust memory.
inline constexpr int kMaxListedParts = 10000;

// Fills record from the site's answer for bvid and returns the number of parts
// (`videos`); record.pages holds at most kMaxListedParts of them. -1 when the answer was
// not usable, leaving record unchanged and, when failureReason is given, saying why in it
// (local text). record.bvid is left to the caller.
int requestVideoInfo(const std::string& bvid, VideoRecord& record,
                     std::string* failureReason = nullptr);

}  // namespace quivra

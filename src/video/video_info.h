// The site's video information: title, owner, statistics and parts of one video.
#pragma once

#include <string>

#include "base/records.h"

namespace quivra {

// Fills record from the site's answer for bvid and returns the number of parts
// (`videos`); -1 when the answer was not usable, leaving record unchanged. record.bvid is
// left to the caller.
int requestVideoInfo(const std::string& bvid, VideoRecord& record);

}  // namespace quivra

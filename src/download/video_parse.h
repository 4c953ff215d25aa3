// One address parsed to a value, for the downloads that bind parts without the main
// window: what the batch window, the search window's download items and their tests use.
#pragma once

#include <string>

#include "base/records.h"

namespace quivra {

struct ParsedVideo {
    VideoRecord video;      // bvid, cleaned title and every listed part
    QualityList qualities;  // what the video offers and the account may download
    std::string failure;    // why it cannot be downloaded (local text); "" when it can
};

// The identifier, the video information and the quality list of the address (local
// text), with no window and no shared record touched: two may run at once.
ParsedVideo parseVideoAddress(const std::string& address);

}  // namespace quivra

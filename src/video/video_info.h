// The site's video information: title, owner, statistics and parts of one video.
#pragma once

#include <string>
#include <vector>

#include "base/records.h"
#include "video/parse_result.h"

namespace quivra {

// The most parts one parse lists, far above any real video: an answer claiming more
// cannot make the program exhaust memory.
inline constexpr int kMaxListedParts = 10000;

// The site's answer for bvid as a value. parts: `videos` (as the answer says, even below
// 0), or -1 when the answer was not usable; then failure says whether the site knows no such video
// (UnknownVideo) or gave nothing usable (Unusable), and reason why (local text). record.pages holds
// at most kMaxListedParts entries; record.bvid is bvid.
struct VideoInfoAnswer {
    int parts = -1;
    VideoRecord record;
    ParseFailure failure = ParseFailure::None;
    std::string reason;
};
VideoInfoAnswer fetchVideoInfo(const std::string& bvid);

// The parts an answer lists: as many as it counts, at most those it holds; none when it
// counts none or failed.
std::vector<PageEntry> listedPages(const VideoInfoAnswer& answer);
// Why an answer that lists no part is a failed parse: its own failure, else NoParts.
ParseFailure listingFailure(const VideoInfoAnswer& answer);

// The message of an address that names no video (local text).
std::string noIdentifierMessage();

// Fills record from the site's answer for bvid and returns the number of parts
// (`videos`); record.pages holds at most kMaxListedParts of them. -1 when the answer was
// not usable, leaving record unchanged and, when failureReason is given, saying why in it
// (local text). record.bvid is left to the caller.
int requestVideoInfo(const std::string& bvid, VideoRecord& record,
                     std::string* failureReason = nullptr);

}  // namespace quivra

#include "download/video_parse.h"

#include <optional>

#include "net/text_encoding.h"
#include "video/identifier.h"
#include "video/stream_formats.h"
#include "video/video_info.h"

namespace quivra {

ParsedVideo parseVideoAddress(const std::string& address) {
    ParsedVideo parsed;
    const std::optional<std::string> bvid = extractBvid(address);
    if (!bvid) {
        parsed.failure = localText("请输入正确的视频地址、bvid、avid");
        return parsed;
    }
    const int rows = requestVideoInfo(*bvid, parsed.video, &parsed.failure);
    parsed.video.bvid = *bvid;
    if (rows < 0) return parsed;
    if (parsed.video.pages.empty()) {
        parsed.failure = localText("视频没有分P");
        return parsed;
    }
    parsed.qualities = fetchQualityList(*bvid, parsed.video.cid);
    return parsed;
}

}  // namespace quivra

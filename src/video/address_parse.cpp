#include "video/address_parse.h"

#include <optional>

#include "net/text_encoding.h"
#include "video/identifier.h"
#include "video/stream_formats.h"
#include "video/video_info.h"

namespace quivra {

ParseResult parseAddress(const std::string& address) {
    ParseResult result;
    const std::optional<std::string> bvid = extractBvid(address);
    if (!bvid) {
        result.failure = ParseFailure::NoIdentifier;
        result.failureText = noIdentifierMessage();
        return result;
    }
    VideoInfoAnswer info = fetchVideoInfo(*bvid);
    result.rows = listedPages(info);
    result.video = std::move(info.record);
    result.video.bvid = *bvid;
    if (result.rows.empty()) {
        result.failure = listingFailure(info);
        result.failureText = localText("解析失败：") +
                             (info.reason.empty() ? localText("视频没有分P") : info.reason);
        return result;
    }
    result.qualities = fetchQualityList(*bvid, result.video.cid);
    return result;
}

}  // namespace quivra

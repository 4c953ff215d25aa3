#include "video/address_parse.h"

#include <algorithm>
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
        result.failureText = localText("请输入正确的视频地址、bvid、avid");
        return result;
    }
    VideoInfoAnswer info = fetchVideoInfo(*bvid);
    result.video = std::move(info.record);
    result.video.bvid = *bvid;
    const size_t rows =
        info.parts > 0 ? std::min<size_t>(info.parts, result.video.pages.size()) : 0;
    if (rows == 0) {
        result.failure = info.failure == ParseFailure::None ? ParseFailure::Unusable : info.failure;
        result.failureText = localText("解析失败：") +
                             (info.reason.empty() ? localText("视频没有分P") : info.reason);
        return result;
    }
    result.rows.assign(result.video.pages.begin(),
                       result.video.pages.begin() + static_cast<long>(rows));
    result.qualities = fetchQualityList(*bvid, result.video.cid);
    return result;
}

}  // namespace quivra

#include "video/video_parse.h"

#include <optional>
#include <utility>

#include "net/text_encoding.h"
#include "video/identifier.h"
#include "video/stream_formats.h"
#include "video/video_info.h"

namespace quivra {

ParseResult parseVideo(const std::string& address, const FormatAsk& ask,
                       const std::function<void()>& asking) {
    ParseResult result;
    const std::optional<std::string> bvid = extractBvid(address);
    if (!bvid) {
        result.failure = ParseFailure::NoIdentifier;
        result.reason = noIdentifierMessage();
        return result;
    }
    if (asking) asking();
    VideoInfoAnswer info = fetchVideoInfo(*bvid);
    result.rows = listedPages(info);
    result.video = std::move(info.record);
    result.video.bvid = *bvid;
    if (result.rows.empty()) {
        result.failure = listingFailure(info);
        result.reason = info.reason;
        return result;
    }
    result.qualities = fetchQualityList(*bvid, result.video.cid, ask);
    return result;
}

std::string parseText(const ParseResult& result) {
    switch (result.failure) {
        case ParseFailure::NoIdentifier:
            return result.reason;
        case ParseFailure::UnknownVideo:
        case ParseFailure::Unusable:
            return localText("解析失败：") + result.reason;
        case ParseFailure::None:
        case ParseFailure::NoParts:
            break;
    }
    const int videos = result.video.videos;
    std::string text = localText("解析完毕，共") + std::to_string(videos) + localText("条视频");
    // A list cut at the cap says how much of it is shown.
    if (videos > kMaxListedParts) {
        text += localText("，只列出前") + std::to_string(kMaxListedParts) + localText("条");
    }
    return text;
}

}  // namespace quivra

#include "video/parse_procedure.h"

#include <optional>
#include <string>
#include <vector>

#include "base/config_file.h"
#include "base/shared_state.h"
#include "net/text_encoding.h"
#include "video/identifier.h"
#include "video/stream_formats.h"
#include "video/video_info.h"

namespace quivra {

namespace {

// The status line: a failure says so with its reason, never the previous video's count;
// a list cut at the cap says how much of it is shown.
std::string statusText(int rowCount, int videos, const std::string& failure) {
    if (rowCount < 0) return localText("解析失败：") + failure;
    std::string text = localText("解析完毕，共") + std::to_string(videos) + localText("条视频");
    if (videos > kMaxListedParts) {
        text += localText("，只列出前") + std::to_string(kMaxListedParts) + localText("条");
    }
    return text;
}

}  // namespace

ParseResult runParse(ParseView& view) {
    ParseResult result;
    const std::optional<std::string> bvid = extractBvid(view.videoUrlText());
    if (!bvid) {
        result.failure = ParseFailure::NoIdentifier;
        result.failureText = noIdentifierMessage();
        view.showMessage(result.failureText);
        return result;
    }
    view.setParseButton(localText("解析中"), false);

    SharedState& state = sharedState();
    VideoInfoAnswer info = fetchVideoInfo(*bvid);
    result.rows = listedPages(info);
    // A failed request keeps the previous video's fields, with the new identifier.
    result.video = info.failure == ParseFailure::None ? std::move(info.record) : state.video.get();
    result.video.bvid = *bvid;
    state.video.set(result.video);

    view.clearQualityItems();
    result.qualities = fetchQualityList(*bvid, result.video.cid);
    keepQualityList(result.qualities);
    for (const QualityEntry& entry : result.qualities.entries) {
        view.addQualityItem(entry.newDescription, textToInteger(entry.quality));
    }

    view.clearRows();
    if (!result.rows.empty()) view.appendRows(result.rows);

    const std::string status = statusText(info.parts, result.video.videos, info.reason);
    if (result.rows.empty()) {
        result.failure = listingFailure(info);
        result.failureText = status;
    }
    view.keepResult(result);
    view.setParseButton(localText("解析"), true);
    view.setStatusText(status);
    return result;
}

}  // namespace quivra

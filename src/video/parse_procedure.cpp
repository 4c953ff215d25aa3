#include "video/parse_procedure.h"

#include "base/config_file.h"
#include "base/shared_state.h"
#include "net/text_encoding.h"
#include "video/stream_formats.h"
#include "video/video_parse.h"

namespace quivra {

ParseResult runParse(ParseView& view, const std::string& address) {
    SharedState& state = sharedState();
    const FormatAsk ask = formatAskOf(state.download.get());
    ParseResult result =
        parseVideo(address, ask, [&view] { view.setParseButton(localText("解析中"), false); });
    if (result.failure == ParseFailure::NoIdentifier) {
        view.showMessage(parseText(result));
        return result;
    }
    // The window keeps its last video when the request failed, with the new identifier, and
    // asks for the qualities whatever the answer listed.
    if (result.failure == ParseFailure::UnknownVideo || result.failure == ParseFailure::Unusable) {
        VideoRecord kept = state.video.get();
        kept.bvid = result.video.bvid;
        result.video = std::move(kept);
    }
    if (result.rows.empty())
        result.qualities = fetchQualityList(result.video.bvid, result.video.cid, ask);
    state.video.set(result.video);

    view.clearQualityItems();
    keepQualityList(result.qualities);
    for (const QualityEntry& entry : result.qualities.entries) {
        view.addQualityItem(entry.newDescription, textToInteger(entry.quality));
    }

    view.clearRows();
    if (!result.rows.empty()) view.appendRows(result.rows);
    view.keepResult(result);
    view.setParseButton(localText("解析"), true);
    view.setStatusText(parseText(result));
    return result;
}

}  // namespace quivra

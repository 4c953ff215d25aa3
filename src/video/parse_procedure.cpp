#include "video/parse_procedure.h"

#include <algorithm>
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

void runParse(ParseView& view) {
    const std::optional<std::string> bvid = extractBvid(view.videoUrlText());
    if (!bvid) {
        view.showMessage(localText("请输入正确的视频地址、bvid、avid"));
        return;
    }
    view.setParseButton(localText("解析中"), false);

    SharedState& state = sharedState();
    VideoRecord record = state.video.get();
    std::string failure;
    const int rowCount = requestVideoInfo(*bvid, record, &failure);
    record.bvid = *bvid;
    state.video.set(record);

    view.clearQualityItems();
    requestQualityList(*bvid, record.cid);
    const QualityList qualities = state.qualities.get();
    if (qualities.count > 0) {
        for (const QualityEntry& entry : qualities.entries) {
            view.addQualityItem(entry.newDescription, textToInteger(entry.quality));
        }
    }

    view.clearRows();
    const size_t rows = rowCount > 0 ? std::min<size_t>(rowCount, record.pages.size()) : 0;
    if (rows > 0) {
        view.appendRows(std::vector<PageEntry>(record.pages.begin(),
                                               record.pages.begin() + static_cast<long>(rows)));
    }

    view.setParseButton(localText("解析"), true);
    view.setStatusText(statusText(rowCount, record.videos, failure));
}

}  // namespace quivra

#include "app/cli/downloads/item_text.h"

#include "download/job/progress_text.h"
#include "download/plan/part_names.h"
#include "net/text_encoding.h"

namespace quivra {

std::string videoLine(const DownloadRequest& firstPart, int parts) {
    return localToUtf8(firstPart.bvid + " " + firstPart.videoTitle) + ": " + std::to_string(parts) +
           (parts == 1 ? " part, " : " parts, ") + localToUtf8(firstPart.qualityName);
}

std::string partLabel(const DownloadItem& item) {
    return rowNumberText(item.request.pageNumber - 1) + " " + localToUtf8(item.request.pageTitle);
}

std::string partStateText(const DownloadItem& item) {
    const bool working = item.state == ItemState::Running || item.state == ItemState::Merging;
    return localToUtf8(working && !item.stageText.empty()
                           ? item.stageText
                           : itemStateText(item, epochMilliseconds()));
}

bool isProgressOnly(const DownloadItem& item) {
    return item.state == ItemState::Running &&
           item.stageText == progressText(item.bytesDone, item.bytesTotal);
}

nlohmann::ordered_json partJson(const DownloadItem& item) {
    const DownloadRequest& part = item.request;
    const auto text = [](const std::string& local) { return localToUtf8(local); };
    return {{"id", item.id},
            {"bvid", text(part.bvid)},
            {"title", text(part.videoTitle)},
            {"number", rowNumberText(part.pageNumber - 1)},
            {"name", text(part.pageTitle)},
            {"quality", part.videoQuality},
            {"qualityName", text(part.qualityName)},
            {"codec", item.videoCodec ? nlohmann::ordered_json(codecName(*item.videoCodec))
                                      : nlohmann::ordered_json()},
            {"audio", part.audioQuality},
            {"state", std::string(itemStateName(item.state))},
            {"text", partStateText(item)},
            {"bytesDone", item.bytesDone},
            {"bytesTotal", item.bytesTotal},
            {"speed", item.speed},
            {"file", text(part.outputPath)},
            {"error", text(item.errorText)},
            {"createdAt", item.createdAt},
            {"finishedAt", item.finishedAt}};
}

}  // namespace quivra

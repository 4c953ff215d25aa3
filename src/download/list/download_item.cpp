#include "download/list/download_item.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <utility>

#include "base/time_window.h"
#include "download/job/progress_text.h"
#include "net/text_encoding.h"
#include "video/audio_choices.h"

namespace quivra {

namespace {

constexpr std::array<std::pair<ItemState, std::string_view>, 8> kStateNames = {{
    {ItemState::Queued, "queued"},
    {ItemState::Running, "running"},
    {ItemState::Paused, "paused"},
    {ItemState::Merging, "merging"},
    {ItemState::Done, "done"},
    {ItemState::Failed, "failed"},
    {ItemState::Cancelled, "cancelled"},
    {ItemState::Waiting, "waiting"},
}};

}  // namespace

bool isSubtitleLanguages(std::string_view text) {
    if (text == "all") return true;
    const auto tagCharacter = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == ',';
    };
    return !text.empty() && text.front() != ',' && text.back() != ',' &&
           text.find(",,") == std::string_view::npos && std::ranges::all_of(text, tagCharacter);
}

bool isUnfinished(ItemState state) {
    return state == ItemState::Queued || state == ItemState::Running ||
           state == ItemState::Merging || state == ItemState::Waiting;
}

bool isOver(ItemState state) {
    return state == ItemState::Done || state == ItemState::Failed || state == ItemState::Cancelled;
}

bool canPause(ItemState state) {
    return state == ItemState::Queued || state == ItemState::Running || state == ItemState::Waiting;
}

bool canResume(ItemState state) {
    return state == ItemState::Paused;
}

bool canCancel(ItemState state) {
    return canPause(state) || state == ItemState::Paused || state == ItemState::Failed;
}

bool canRetry(ItemState state) {
    return state == ItemState::Failed || state == ItemState::Cancelled ||
           state == ItemState::Waiting;
}

std::string_view itemStateName(ItemState state) {
    for (const auto& [value, name] : kStateNames) {
        if (value == state) return name;
    }
    return {};
}

std::optional<ItemState> itemStateFromName(std::string_view name) {
    for (const auto& [value, known] : kStateNames) {
        if (known == name) return value;
    }
    return std::nullopt;
}

std::string itemQualityText(const DownloadItem& item) {
    const DownloadRequest& part = item.request;
    std::string text =
        part.qualityName.empty() ? std::to_string(part.videoQuality) : part.qualityName;
    if (item.videoCodec) text += " " + codecName(*item.videoCodec);
    return text;
}

std::string windowWaitText(int windowStart) {
    return localText("等待时段（") + clockText(windowStart) + localText("开始）");
}

std::string itemStateText(const DownloadItem& item, std::int64_t nowMs) {
    switch (item.state) {
        case ItemState::Queued:
            return item.windowStart ? windowWaitText(*item.windowStart) : localText("等待下载");
        case ItemState::Running:
            return localText("下载中");
        case ItemState::Paused:
            return localText("已暂停");
        case ItemState::Merging:
            return localText("正在合成音视频");
        case ItemState::Done:
            return localText("下载完成");
        case ItemState::Failed:
            return item.errorText.empty() ? localText("下载失败") : item.errorText;
        case ItemState::Cancelled:
            return localText("已取消");
        case ItemState::Waiting: {
            const std::int64_t seconds =
                std::max<std::int64_t>(item.retryAt - nowMs + 999, 0) / 1000;
            return localText("等待重试（") + std::to_string(item.retry) + "/" +
                   std::to_string(item.retryLimit) + localText("）") + " " + remainingText(seconds);
        }
    }
    return {};
}

std::int64_t epochMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string temporaryVideoPath(const DownloadRequest& request) {
    return request.directory + "/temp/" + request.cid + ".mp4";
}

std::string temporaryAudioPath(const DownloadRequest& request) {
    // A stale AAC stream of the part must never be taken for its lossless or Dolby one.
    if (isSpecialAudioStream(request.audioQuality)) {
        return request.directory + "/temp/" + request.cid + "-" +
               std::to_string(request.audioQuality) + ".m4s";
    }
    return request.directory + "/temp/" + request.cid + ".mp3";
}

}  // namespace quivra

#include "download/download_item.h"

#include <array>
#include <utility>

#include "net/text_encoding.h"

namespace quivra {

namespace {

constexpr std::array<std::pair<ItemState, std::string_view>, 7> kStateNames = {{
    {ItemState::Queued, "queued"},
    {ItemState::Running, "running"},
    {ItemState::Paused, "paused"},
    {ItemState::Merging, "merging"},
    {ItemState::Done, "done"},
    {ItemState::Failed, "failed"},
    {ItemState::Cancelled, "cancelled"},
}};

}  // namespace

bool isUnfinished(ItemState state) {
    return state == ItemState::Queued || state == ItemState::Running || state == ItemState::Merging;
}

bool isOver(ItemState state) {
    return state == ItemState::Done || state == ItemState::Failed || state == ItemState::Cancelled;
}

bool canPause(ItemState state) {
    return state == ItemState::Queued || state == ItemState::Running;
}

bool canResume(ItemState state) {
    return state == ItemState::Paused;
}

bool canCancel(ItemState state) {
    return canPause(state) || state == ItemState::Paused || state == ItemState::Failed;
}

bool canRetry(ItemState state) {
    return state == ItemState::Failed || state == ItemState::Cancelled;
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

std::string itemStateText(const DownloadItem& item) {
    switch (item.state) {
        case ItemState::Queued:
            return localText("等待下载");
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
    }
    return {};
}

std::string temporaryVideoPath(const DownloadRequest& request) {
    return request.directory + "/temp/" + request.cid + ".mp4";
}

std::string temporaryAudioPath(const DownloadRequest& request) {
    return request.directory + "/temp/" + request.cid + ".mp3";
}

}  // namespace quivra

#include "download/download_start.h"

#include "base/message_box.h"
#include "base/shared_state.h"
#include "base/wait_responsive.h"
#include "download/part_binding.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

// The checks and folders every start needs; false (after its message) when refused.
bool prepareDownloads(DownloadView& view) {
    if (view.rowCount() <= 0) {
        showMessageBox(localText("请先解析视频！"));
        return false;
    }
    if (!view.videoQualityData()) {
        showMessageBox(localText("请选择视频清晰度！"));
        return false;
    }
    const std::string refused =
        makeVideoFolders(sharedState().download.get().directory, sharedState().video.get());
    if (!refused.empty()) {
        showMessageBox(refused);
        return false;
    }
    return true;
}

// Every chosen row is bound at the press: the parse of another video during the
// one-second waits changes none of them.
std::vector<DownloadRequest> bindRows(DownloadView& view, bool checkedOnly) {
    const VideoRecord video = sharedState().video.get();
    const DownloadSettings settings = sharedState().download.get();
    const PartChoice choice{settings.directory, view.videoQualityData().value_or(-1),
                            view.audioQualityData().value_or(-1), settings.writeTags,
                            settings.saveCover};
    std::vector<DownloadRequest> parts;
    const std::string done = localText("下载完成");
    for (int row = 0; row < view.rowCount(); ++row) {
        if (checkedOnly && !view.isChecked(row)) continue;
        if (view.cellText(row, DownloadView::StateColumn) == done) continue;
        parts.push_back(bindPart(video, choice, row, view.cellText(row, DownloadView::TitleColumn),
                                 view.cellText(row, DownloadView::CidColumn)));
    }
    return parts;
}

void submitRows(DownloadView& view, DownloadQueue& queue, bool checkedOnly) {
    bool waitFirst = false;
    for (const DownloadRequest& part : bindRows(view, checkedOnly)) {
        if (waitFirst) waitResponsive(1, 1);
        const DownloadQueue::Submission submission = queue.submit(part);
        waitFirst = submission.started;
        if (!submission.started) showItemInRow(view, submission.item);
    }
}

}  // namespace

void startDownloads(DownloadView& view, DownloadQueue& queue) {
    if (prepareDownloads(view)) submitRows(view, queue, false);
}

void startCheckedDownloads(DownloadView& view, DownloadQueue& queue) {
    if (prepareDownloads(view)) submitRows(view, queue, true);
}

void checkQualityAvailable(DownloadView& view) {
    const int wanted = view.videoQualityData().value_or(-1);
    if (!isQualityAvailable(sharedState().qualities.get(), wanted)) {
        showMessageBox(memberQualityMessage());
        view.clearVideoQualitySelection();
    }
}

}  // namespace quivra

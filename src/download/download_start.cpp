#include "download/download_start.h"

#include <set>

#include "base/shared_state.h"
#include "base/wait_responsive.h"
#include "download/plan/part_binding.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

// The checks and folders every start needs; the parse to bind from, or null (after its
// message) when refused.
std::shared_ptr<const ParseResult> prepareDownloads(DownloadView& view) {
    std::shared_ptr<const ParseResult> shown = view.shownParse();
    if (!shown || shown->rows.empty()) {
        view.showMessage(localText("请先解析视频！"));
        return nullptr;
    }
    if (!view.videoQualityData()) {
        view.showMessage(localText("请选择视频清晰度！"));
        return nullptr;
    }
    const std::string refused =
        makeVideoFolders(sharedState().download.get().directory, shown->video);
    if (!refused.empty()) {
        view.showMessage(refused);
        return nullptr;
    }
    return shown;
}

// Every chosen row is bound at the press: the parse of another video during the
// one-second waits changes none of them. A row whose part is done is left alone.
std::vector<DownloadRequest> bindRows(DownloadView& view, const DownloadQueue& queue,
                                      const ParseResult& shown, bool checkedOnly) {
    const DownloadSettings settings = sharedState().download.get();
    const PartChoice choice{settings.directory, view.videoQualityData().value_or(-1),
                            view.audioQualityData().value_or(-1), settings.writeTags,
                            settings.saveCover};
    std::set<std::string> done;
    for (const DownloadItem& item : queue.items()) {
        if (item.state == ItemState::Done) done.insert(item.request.outputPath);
    }
    std::vector<DownloadRequest> parts;
    for (DownloadRequest& part : bindVideoParts(shown, choice)) {
        if (checkedOnly && !view.isChecked(part.pageNumber - 1)) continue;
        if (done.count(part.outputPath) == 0) parts.push_back(std::move(part));
    }
    return parts;
}

void submitRows(DownloadView& view, DownloadQueue& queue, bool checkedOnly) {
    const std::shared_ptr<const ParseResult> shown = prepareDownloads(view);
    if (!shown) return;
    bool waitFirst = false;
    for (const DownloadRequest& part : bindRows(view, queue, *shown, checkedOnly)) {
        if (waitFirst) waitResponsive(1, 1);
        const DownloadQueue::Submission submission = queue.submit(part);
        waitFirst = submission.started;
        if (!submission.started) showItemInRow(view, submission.item);
    }
}

}  // namespace

void startDownloads(DownloadView& view, DownloadQueue& queue) {
    submitRows(view, queue, false);
}

void startCheckedDownloads(DownloadView& view, DownloadQueue& queue) {
    submitRows(view, queue, true);
}

void checkQualityAvailable(DownloadView& view) {
    const int wanted = view.videoQualityData().value_or(-1);
    if (!isQualityAvailable(sharedState().qualities.get(), wanted)) {
        view.showMessage(memberQualityMessage());
        view.clearVideoQualitySelection();
    }
}

}  // namespace quivra

#include "download/download_start.h"

#include "base/shared_state.h"
#include "base/wait_responsive.h"
#include "download/plan/download_plan.h"
#include "download/plan/quality_check.h"
#include "net/text_encoding.h"
#include "video/member_message.h"

namespace quivra {

namespace {

// What the window chose: every row or the checked ones, but for a row already reading
// "下载完成", at the qualities of the two boxes.
PartSelection windowSelection(DownloadView& view, const ParseResult& shown, bool checkedOnly) {
    PartSelection selection;
    selection.rows.emplace();
    const std::string finished = localText("下载完成");
    for (int row = 0; row < static_cast<int>(shown.rows.size()); ++row) {
        if (checkedOnly && !view.isChecked(row)) continue;
        if (view.stateText(row) != finished) selection.rows->push_back(row);
    }
    selection.videoQuality = view.videoQualityData().value_or(-1);
    selection.audioQuality = view.audioQualityData().value_or(-1);
    return selection;
}

// Every chosen row is planned at the press: the parse of another video during the
// one-second waits changes none of them.
void submitRows(DownloadView& view, DownloadQueue& queue, const DownloadSettings& settings,
                const std::string& siteAddress, bool checkedOnly) {
    const std::shared_ptr<const ParseResult> shown = view.shownParse();
    const ParseResult nothing;
    const ParseResult& parsed = shown ? *shown : nothing;
    const DownloadPlan plan =
        planDownloads(parsed, windowSelection(view, parsed, checkedOnly), settings, siteAddress);
    if (!plan.refusal.empty()) {
        view.showMessage(plan.refusal);
        return;
    }
    for (const DownloadRequest& part : plan.done) {
        view.setStateText(part.pageNumber - 1, localText("下载完成"));
    }
    bool waitFirst = false;
    for (const DownloadRequest& part : plan.requests) {
        if (waitFirst) waitResponsive(1, 1);
        const DownloadQueue::Submission submission = queue.submit(part);
        waitFirst = submission.started;
        if (!submission.started) showItemInRow(view, submission.item);
    }
}

}  // namespace

void startDownloads(DownloadView& view, DownloadQueue& queue, const DownloadSettings& settings,
                    const std::string& siteAddress) {
    submitRows(view, queue, settings, siteAddress, false);
}

void startCheckedDownloads(DownloadView& view, DownloadQueue& queue,
                           const DownloadSettings& settings, const std::string& siteAddress) {
    submitRows(view, queue, settings, siteAddress, true);
}

void checkQualityAvailable(DownloadView& view) {
    const int wanted = view.videoQualityData().value_or(-1);
    if (!isQualityAvailable(sharedState().qualities.get(), wanted)) {
        view.showMessage(memberOnlyMessage());
        view.clearVideoQualitySelection();
    }
}

}  // namespace quivra

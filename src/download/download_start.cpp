#include "download/download_start.h"

#include <algorithm>

#include "base/config_file.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "base/wait_responsive.h"
#include "download/download_files.h"
#include "download/download_job.h"
#include "download/thread_pool.h"
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
    const std::string directory = sharedState().download.get().directory;
    const VideoRecord video = sharedState().video.get();
    if (!ensureFolder(directory + "/" + videoFolderName(video.title, video.bvid))) {
        showMessageBox(localText("目录创建失败！"));
        return false;
    }
    if (!ensureFolder(directory + "/temp")) {
        showMessageBox(localText("临时目录创建失败！"));
        return false;
    }
    return true;
}

void submitRows(DownloadView& view, bool checkedOnly) {
    bool first = true;
    // The count is read anew each round: the wait lets the user parse again meanwhile.
    for (int row = 0; row < view.rowCount(); ++row) {
        if (checkedOnly && !view.isChecked(row)) continue;
        if (!markRowBusy(row)) continue;  // already queued or running
        if (!first) {
            waitResponsive(1, 1);
            if (row >= view.rowCount()) {
                clearRowBusy(row);
                break;
            }
        }
        first = false;
        if (!threadPool().submit(&downloadJob, row)) clearRowBusy(row);
    }
}

}  // namespace

void startDownloads(DownloadView& view) {
    if (prepareDownloads(view)) submitRows(view, false);
}

void startCheckedDownloads(DownloadView& view) {
    if (prepareDownloads(view)) submitRows(view, true);
}

void checkQualityAvailable(DownloadView& view) {
    const int wanted = view.videoQualityData().value_or(-1);
    const QualityList qualities = sharedState().qualities.get();
    bool available = false;
    const int count = std::min<int>(qualities.count, static_cast<int>(qualities.entries.size()));
    for (int i = 0; i < count; ++i) {
        if (textToInteger(qualities.entries[i].quality) == wanted) {
            available = qualities.entries[i].available;
            break;
        }
    }
    if (!available) {
        showMessageBox(
            localText("这个质量需要大会员才可以下载哦，您还不是大会员或还没有登录哟，请先登录~"));
        view.clearVideoQualitySelection();
    }
}

}  // namespace quivra

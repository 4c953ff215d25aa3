// The download buttons and the quality check of 组合框_videoQuality. They run on the GUI
// thread and reach the window through a DownloadView.
#pragma once

#include "download/list/download_queue.h"
#include "download/download_view.h"

namespace quivra {

// "下载全部": checks the list and the quality choice, makes the video's folder
// (videoFolderName) and <directory>/temp, binds every row to its part, then submits the
// parts one a second while the window keeps working. A part already queued, running or
// done starts nothing and costs no wait; its row shows that item's state.
void startDownloads(DownloadView& view, DownloadQueue& queue);

// "下载选中": the same for the rows whose check box is set.
void startCheckedDownloads(DownloadView& view, DownloadQueue& queue);

// Refuses a chosen quality that the account may not download: the message, and the
// selection cleared.
void checkQualityAvailable(DownloadView& view);

}  // namespace quivra

// The download buttons and the quality check of 组合框_videoQuality. They run on the GUI
// thread and reach the window through a DownloadView.
#pragma once

#include "download/download_view.h"

namespace quivra {

// "下载全部": checks the list and the quality choice, makes the video's folder
// (videoFolderName) and <directory>/temp, then hands each row to the thread pool, one a
// second, while the window keeps working. A row whose job is queued or running is
// skipped without a wait.
void startDownloads(DownloadView& view);

// "下载选中": the same for the rows whose check box is set.
void startCheckedDownloads(DownloadView& view);

// Refuses a chosen quality that the account may not download: the message, and the
// selection cleared.
void checkQualityAvailable(DownloadView& view);

}  // namespace quivra

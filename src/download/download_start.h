// The download buttons and the quality check of 组合框_videoQuality. They run on the GUI
// thread and reach the window through a DownloadView.
#pragma once

#include <string>

#include "base/records.h"
#include "download/download_view.h"
#include "download/list/download_queue.h"

namespace quivra {

// "下载全部": the rows' parts planned (planDownloads: the checks, the folders, the parts
// whose MP4 is there), then submitted one a second while the window keeps working. A row
// reading "下载完成" is left alone; a part whose MP4 is there shows "下载完成"; one already
// queued or running starts nothing and costs no wait, its row shows that item's state.
// settings: the program's download settings of the press; siteAddress: the site's main
// page (UTF-8).
void startDownloads(DownloadView& view, DownloadQueue& queue, const DownloadSettings& settings,
                    const std::string& siteAddress);

// "下载选中": the same for the rows whose check box is set.
void startCheckedDownloads(DownloadView& view, DownloadQueue& queue,
                           const DownloadSettings& settings, const std::string& siteAddress);

// Refuses a chosen quality that the account may not download: the message, and the
// selection cleared.
void checkQualityAvailable(DownloadView& view);

}  // namespace quivra

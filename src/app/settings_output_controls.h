// 下载内容 and 容器 of the settings window: what a part's file holds and the container of
// the files with video.
#pragma once

class QWidget;

namespace quivra {

struct DownloadCore;

// Builds both choices in one row at top y of window, showing the stored values (an unknown
// one shows the default); a choice is stored in the shared record and config.ini
// ([download] downloadContent, container) as it is made. Returns the row's bottom.
int addOutputControls(QWidget* window, int y, DownloadCore& core);

}  // namespace quivra

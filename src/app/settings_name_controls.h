// 文件名格式 of the settings window: where a part's file goes under the download folder.
#pragma once

class QWidget;

namespace quivra {

struct DownloadCore;

// Builds the template's box in one row at top y of window, showing the stored template. A
// template is stored (shared record and config.ini, [download] fileNameTemplate) when its
// box is left; one that cannot name files is refused with its reason and the stored one
// shown again. Returns the row's bottom.
int addNameControls(QWidget* window, int y, DownloadCore& core);

}  // namespace quivra

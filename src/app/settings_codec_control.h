// 视频编码 of the settings window: the order of the codecs a quality is taken in.
#pragma once

class QWidget;

namespace quivra {

struct DownloadCore;

// Builds the choice of the six orders in one row at top y of window, showing the stored
// order (a broken one shows the default); a choice is stored in the shared record and
// config.ini ([download] videoCodecs) as it is made. Returns the row's bottom.
int addCodecControl(QWidget* window, int y, DownloadCore& core);

}  // namespace quivra

// 默认视频质量 and 默认音频质量 of the settings window: what batch, search and the command
// line download when no quality is named.
#pragma once

class QWidget;

namespace quivra {

struct DownloadCore;

// Builds the two choices in one row at top y of window, showing the stored settings; a
// choice is stored in the shared record and config.ini ([download] defaultVideoQuality,
// defaultAudioQuality) as it is made.
int addQualityControls(QWidget* window, int y, DownloadCore& core);

}  // namespace quivra

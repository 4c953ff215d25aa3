// 下载时段 and 限速时段 of the settings window: each a switch with its daily window.
#pragma once

class QWidget;

namespace quivra {

struct DownloadCore;

// Builds both in one row at top y of window, showing the stored values. A switch is stored
// when it changes; a window ("01:00-07:00", one that ends before it starts spans midnight)
// when its box is left, and a broken one is refused with its reason and the stored one
// shown again. Returns the row's bottom.
int addScheduleControls(QWidget* window, int y, DownloadCore& core);

}  // namespace quivra

// The download list menu's switches of the two time windows, 下载时段 and 限速时段.
#pragma once

class QMenu;

namespace quivra {

struct DownloadCore;

// Two checkable items at the end of menu, "下载时段（01:00-07:00）" and
// "限速时段（08:00-23:00）", usable only while the window's text is whole; switching one is
// kept and followed at once.
void addScheduleSwitches(QMenu* menu, DownloadCore& core);

}  // namespace quivra

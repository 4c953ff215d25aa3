// The download list menu's switch between the speed limit of the settings and none.
#pragma once

class QAction;
class QMenu;

namespace quivra {

struct DownloadCore;

// A checkable "限速下载（N KB/s）" at the end of menu, checked while the limit is switched on
// (saying so when its window leaves it resting now) and usable only while a limit is set;
// switching it is kept and followed at once.
QAction* addSpeedLimitSwitch(QMenu* menu, DownloadCore& core);

}  // namespace quivra

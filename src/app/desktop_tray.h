// The tray icon (where the desktop has a tray) and its menu: 显示主窗口, 下载列表, 全部暂停,
// 全部继续, 退出. Its tooltip shows the list's total progress and speed.
#pragma once

#include <QObject>

#include <memory>
#include <string>
#include <vector>

#include "download/download_core.h"
#include "download/list/download_queue.h"

class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace quivra {

// "Quivra视频下载器", then the bytes and share done of the parts not yet finished and their
// speed, or that none is under way.
std::string trayToolTip(const std::vector<DownloadItem>& items);

class DesktopTray : public QObject {
    Q_OBJECT

  public:
    // parent: the application, where closing the main window looks for it.
    DesktopTray(std::shared_ptr<DownloadCore> core, QObject* parent);
    ~DesktopTray() override;

    // Shown in the tray when the desktop has one; the menu works either way.
    bool shown() const;
    QMenu* menu() const { return menu_.get(); }
    QSystemTrayIcon* icon() const { return icon_; }

    void pauseAll();
    void resumeAll();

    // Closing the main window hides it here: the setting is on and the icon shows.
    bool takesClosedWindow() const;

  private:
    std::vector<std::int64_t> allIds() const;
    void refreshToolTip();

    const std::shared_ptr<DownloadCore> core_;
    const std::shared_ptr<DownloadQueue> queue_;
    std::unique_ptr<QMenu> menu_;  // a menu has no QObject parent of its own kind
    QSystemTrayIcon* icon_ = nullptr;
    QTimer* refresh_ = nullptr;
};

// True when closing the main window should hide it in the tray instead of ending the
// program: the setting is on and a tray icon shows, so the window can come back.
bool closesToTray();

}  // namespace quivra

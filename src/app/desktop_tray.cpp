#include "app/desktop_tray.h"

#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/download_list_window.h"
#include "app/main_window.h"
#include "app/program_icon.h"
#include "app/subscriptions_model.h"
#include "base/shared_state.h"
#include "download/job/progress_text.h"
#include "download/subscription_schedule.h"

namespace quivra {

namespace {

constexpr int kRefreshMs = 1000;

bool underWay(ItemState state) {
    return isUnfinished(state) || state == ItemState::Paused;
}

}  // namespace

std::string trayToolTip(const std::vector<DownloadItem>& items) {
    std::int64_t done = 0;
    std::int64_t total = 0;
    std::int64_t speed = 0;
    int parts = 0;
    for (const DownloadItem& item : items) {
        if (!underWay(item.state)) continue;
        ++parts;
        done += item.bytesDone;
        total += item.bytesTotal;
        if (item.state == ItemState::Running) speed += item.speed;
    }
    std::string tip = "Quivra视频下载器\n";
    if (parts == 0) return tip + "没有进行中的下载";
    const std::int64_t percent = total > 0 ? done * 100 / total : 0;
    return tip + std::to_string(parts) + " 个分P，" + progressText(done, total) + "（" +
           std::to_string(percent) + "%），" + byteSizeText(speed) + "/s";
}

DesktopTray::DesktopTray(std::shared_ptr<DownloadCore> core, QObject* parent)
    : QObject(parent),
      core_(std::move(core)),
      queue_(core_->queue),
      menu_(std::make_unique<QMenu>()) {
    menu_->setObjectName(QStringLiteral("托盘菜单"));
    menu_->addAction(QStringLiteral("显示主窗口"), this,
                     [this] { MainWindow::showMainWindow(core_); });
    menu_->addAction(QStringLiteral("下载列表"), this,
                     [this] { DownloadListWindow::showFor(core_); });
    menu_->addAction(QStringLiteral("全部暂停"), this, &DesktopTray::pauseAll);
    menu_->addAction(QStringLiteral("全部继续"), this, &DesktopTray::resumeAll);
    menu_->addSeparator();
    menu_->addAction(QStringLiteral("退出"), this, [this] { endProgram(*core_); });

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        icon_ = new QSystemTrayIcon(programIcon(), this);
        icon_->setContextMenu(menu_.get());
        connect(icon_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason r) {
                    if (r == QSystemTrayIcon::Trigger) MainWindow::showMainWindow(core_);
                });
        icon_->show();
    }
    refresh_ = new QTimer(this);
    connect(refresh_, &QTimer::timeout, this, &DesktopTray::refreshToolTip);
    refresh_->start(kRefreshMs);
    refreshToolTip();
}

DesktopTray::~DesktopTray() = default;

bool DesktopTray::shown() const {
    // A tray entry without a picture would hide the program where nobody can find it.
    return icon_ != nullptr && icon_->isVisible() && !icon_->icon().isNull();
}

std::vector<std::int64_t> DesktopTray::allIds() const {
    std::vector<std::int64_t> ids;
    // A finished part is neither paused nor resumed.
    queue_->visitItemsNotDone([&](const DownloadItem& item) { ids.push_back(item.id); });
    return ids;
}

// The queue leaves alone the items whose state does not allow the command.
void DesktopTray::pauseAll() {
    queue_->pause(allIds());
}

void DesktopTray::resumeAll() {
    queue_->resume(allIds());
}

void DesktopTray::refreshToolTip() {
    if (icon_ == nullptr) return;
    // Every second: only the parts under way are copied, not a long list's finished ones.
    std::vector<DownloadItem> underWayItems;
    queue_->visitItemsNotDone([&](const DownloadItem& item) {
        if (underWay(item.state)) underWayItems.push_back(item);
    });
    QString tip = QString::fromStdString(trayToolTip(underWayItems));
    const std::int64_t next = core_->subscriptions ? core_->subscriptions->nextCheck() : 0;
    if (next != 0) tip += QStringLiteral("\n下次检查订阅：") + checkTimeText(next);
    icon_->setToolTip(tip);
}

bool DesktopTray::takesClosedWindow() const {
    return core_->settings.get().minimizeToTray && shown();
}

bool closesToTray() {
    const auto* tray = QCoreApplication::instance()->findChild<DesktopTray*>();
    return tray != nullptr && tray->takesClosedWindow();
}

}  // namespace quivra

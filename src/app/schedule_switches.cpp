#include "app/schedule_switches.h"

#include <QAction>
#include <QMenu>

#include "app/controls_window.h"
#include "app/setting_control.h"
#include "base/time_window.h"
#include "download/download_core.h"

namespace quivra {

namespace {

void addSwitch(QMenu* menu, DownloadCore& core, const char* caption, SettingKey onKey,
               std::string DownloadSettings::*text, bool DownloadSettings::*on) {
    QAction* item = menu->addAction(QString());
    item->setObjectName(QString::fromStdString(settingControlName("菜单_", onKey)));
    item->setCheckable(true);
    // The settings window may have changed the window since the menu was last shown.
    auto show = [&core, item, caption, text, on] {
        const DownloadSettings settings = core.settings.get();
        const std::optional<TimeWindow> window = parseTimeWindow(settings.*text).window;
        item->setText(QString::fromUtf8(caption) +
                      QStringLiteral("（%1）").arg(
                          toQString(window ? timeWindowText(*window) : settings.*text)));
        item->setEnabled(window.has_value());
        item->setChecked(window && settings.*on);
    };
    show();
    QObject::connect(menu, &QMenu::aboutToShow, item, show);
    QObject::connect(item, &QAction::triggered, item, [&core, onKey](bool checked) {
        keepAndFollow(core, {{onKey, checked}});
    });
}

}  // namespace

void addScheduleSwitches(QMenu* menu, DownloadCore& core) {
    addSwitch(menu, core, "下载时段", SettingKey::DownloadWindowOn,
              &DownloadSettings::downloadWindow, &DownloadSettings::downloadWindowOn);
    addSwitch(menu, core, "限速时段", SettingKey::SpeedLimitWindowOn,
              &DownloadSettings::speedLimitWindow, &DownloadSettings::speedLimitWindowOn);
}

}  // namespace quivra

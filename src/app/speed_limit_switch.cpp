#include "app/speed_limit_switch.h"

#include <QAction>
#include <QMenu>

#include "app/setting_control.h"
#include "base/setting_windows.h"
#include "download/download_core.h"

namespace quivra {

QAction* addSpeedLimitSwitch(QMenu* menu, DownloadCore& core) {
    menu->addSeparator();
    QAction* limit = menu->addAction(QString());
    limit->setObjectName(settingObjectName("菜单_", SettingKey::SpeedLimit));
    limit->setCheckable(true);
    // The settings window may have changed the limit since the menu was last shown.
    auto show = [&core, limit] {
        const DownloadSettings settings = core.settings.get();
        const bool on = settings.speedLimit > 0 && settings.speedLimitOn;
        const bool resting = on && effectiveSpeedLimit(settings, core.clock()) == 0;
        limit->setText(QStringLiteral("限速下载（%1 KB/s%2）")
                           .arg(settings.speedLimit / 1024)
                           .arg(resting ? QStringLiteral("，时段外不限速") : QString()));
        limit->setEnabled(settings.speedLimit > 0);
        limit->setChecked(on);
    };
    show();
    QObject::connect(menu, &QMenu::aboutToShow, limit, show);
    QObject::connect(limit, &QAction::triggered, limit, [&core](bool on) {
        keepAndFollow(core, {{SettingKey::SpeedLimit, core.settings.get().speedLimit},
                             {SettingKey::SpeedLimitOn, on}});
    });
    return limit;
}

}  // namespace quivra

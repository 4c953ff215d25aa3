#include "app/speed_limit_switch.h"

#include <QAction>
#include <QMenu>

#include "app/setting_control.h"
#include "base/shared_state.h"

namespace quivra {

QAction* addSpeedLimitSwitch(QMenu* menu) {
    menu->addSeparator();
    QAction* limit = menu->addAction(QString());
    limit->setObjectName(
        QString::fromStdString(settingControlName("菜单_", SettingKey::SpeedLimit)));
    limit->setCheckable(true);
    // The settings window may have changed the limit since the menu was last shown.
    auto show = [limit] {
        const DownloadSettings settings = sharedState().download.get();
        limit->setText(QStringLiteral("限速下载（%1 KB/s）").arg(settings.speedLimit / 1024));
        limit->setEnabled(settings.speedLimit > 0);
        limit->setChecked(settings.speedLimit > 0 && settings.speedLimitOn);
    };
    show();
    QObject::connect(menu, &QMenu::aboutToShow, limit, show);
    QObject::connect(limit, &QAction::triggered, limit, [](bool on) {
        keepAndFollow({{SettingKey::SpeedLimit, sharedState().download.get().speedLimit},
                       {SettingKey::SpeedLimitOn, on}});
    });
    return limit;
}

}  // namespace quivra

#include "app/speed_limit_switch.h"

#include <QAction>
#include <QMenu>

#include "base/network_settings.h"
#include "base/shared_state.h"
#include "download/engine/download_engine.h"
#include "download/engine/engine_settings.h"

namespace quivra {

QAction* addSpeedLimitSwitch(QMenu* menu) {
    menu->addSeparator();
    QAction* limit = menu->addAction(QString());
    limit->setObjectName(QStringLiteral("菜单_speedLimit"));
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
        keepSpeedLimit(sharedState().download.get().speedLimit, on);
        followDownloadSettings(downloadEngine(), sharedState().download.get());
    });
    return limit;
}

}  // namespace quivra

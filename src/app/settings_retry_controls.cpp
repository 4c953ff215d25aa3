#include "app/settings_retry_controls.h"

#include <QSpinBox>

#include "app/controls_window.h"
#include "app/setting_control.h"
#include "base/shared_state.h"

namespace quivra {

QSpinBox* addRetryControls(QWidget* window, int top, DownloadCore& core) {
    const SettingKey key = SettingKey::Retries;
    const SettingRow& row = settingRow(key);
    newLabel(window, settingControlName("透明标签_", key).c_str(), QStringLiteral("自动重试次数："),
             {8, top, 96, 32});
    auto* box = new QSpinBox(window);
    box->setObjectName(settingObjectName("编辑框_", key));
    box->setGeometry(104, top, 64, 32);
    box->setRange(row.least, row.most);
    box->setValue(sharedState().download.get().retries);
    // The list's retry policy follows at once (followSettingChange).
    QObject::connect(box, &QSpinBox::valueChanged, window, [&core, key](int retries) {
        keepAndFollow(core, {{key, retries}});
    });
    return box;
}

}  // namespace quivra

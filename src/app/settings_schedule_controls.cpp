#include "app/settings_schedule_controls.h"

#include <QCheckBox>
#include <QLineEdit>

#include <string>

#include "app/controls_window.h"
#include "app/setting_control.h"
#include "base/message_box.h"
#include "base/time_window.h"
#include "download/download_core.h"

namespace quivra {

namespace {

struct ScheduleRow {
    const char* caption;
    SettingKey on;
    SettingKey window;
    bool DownloadSettings::*onField;
    std::string DownloadSettings::*windowField;
};

void addWindowControls(QWidget* window, int x, int y, DownloadCore& core, const ScheduleRow& row) {
    const DownloadSettings settings = core.settings.get();
    auto* on = new QCheckBox(QString::fromUtf8(row.caption), window);
    on->setObjectName(QString::fromStdString(settingControlName("选择框_", row.on)));
    on->setGeometry(x, y, 84, 32);
    on->setChecked(settings.*row.onField);
    QLineEdit* edit =
        newEdit(window, settingControlName("编辑框_", row.window).c_str(), {x + 84, y, 92, 32});
    edit->setText(toQString(settings.*row.windowField));
    edit->setToolTip(QStringLiteral("每天的时段，如01:00-07:00；结束早于开始时跨过午夜"));
    QObject::connect(on, &QCheckBox::toggled, window, [&core, key = row.on](bool checked) {
        keepAndFollow(core, {{key, checked}});
    });
    QObject::connect(edit, &QLineEdit::editingFinished, window, [&core, edit, row] {
        const std::string stored = core.settings.get().*row.windowField;
        const TimeWindowParse parse = parseTimeWindow(edit->text().toStdString());
        if (!parse.window) {
            edit->setText(toQString(stored));
            showMessageBox(parse.reason);
            return;
        }
        const std::string text = timeWindowText(*parse.window);
        edit->setText(toQString(text));
        if (text != stored) keepAndFollow(core, {{row.window, text}});
    });
}

}  // namespace

int addScheduleControls(QWidget* window, int y, DownloadCore& core) {
    addWindowControls(window, 8, y, core,
                      {"下载时段", SettingKey::DownloadWindowOn, SettingKey::DownloadWindow,
                       &DownloadSettings::downloadWindowOn, &DownloadSettings::downloadWindow});
    addWindowControls(window, 200, y, core,
                      {"限速时段", SettingKey::SpeedLimitWindowOn, SettingKey::SpeedLimitWindow,
                       &DownloadSettings::speedLimitWindowOn, &DownloadSettings::speedLimitWindow});
    return y + 40;
}

}  // namespace quivra

#include "app/settings_subtitle_controls.h"

#include <QLineEdit>

#include <string>

#include "app/controls_window.h"
#include "app/setting_control.h"
#include "base/message_box.h"
#include "download/download_core.h"
#include "download/list/download_item.h"
#include "net/text_encoding.h"

namespace quivra {

int addSubtitleControls(QWidget* window, int y, DownloadCore& core) {
    const SettingKey key = SettingKey::SubtitleLanguages;
    newLabel(window, settingControlName("透明标签_", key).c_str(), QStringLiteral("字幕语言："),
             {8, y, 96, 32});
    QLineEdit* edit =
        newEdit(window, settingControlName("编辑框_", key).c_str(), {104, y, 272, 32});
    edit->setText(toQString(core.settings.get().subtitleLanguages));
    edit->setToolTip(QStringLiteral("all为全部语言，或以逗号分隔的语言，如zh-CN,en-US"));
    QObject::connect(edit, &QLineEdit::editingFinished, window, [&core, edit] {
        const std::string stored = core.settings.get().subtitleLanguages;
        const std::string typed = edit->text().trimmed().toStdString();
        if (typed == stored) return;
        if (!isSubtitleLanguages(typed)) {
            edit->setText(toQString(stored));
            showMessageBox(localText("字幕语言应为all，或以逗号分隔的语言，如zh-CN,en-US"));
            return;
        }
        keepAndFollow(core, {{SettingKey::SubtitleLanguages, typed}});
    });
    return y + 40;
}

}  // namespace quivra

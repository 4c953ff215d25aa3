#include "app/settings_name_controls.h"

#include <QLineEdit>

#include <string>

#include "app/controls_window.h"
#include "app/setting_control.h"
#include "base/message_box.h"
#include "download/download_core.h"
#include "download/plan/file_template.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

// Why the typed template cannot be kept (local text); "" when it can. A character local
// text cannot hold would be stored as another one.
std::string templateRefusal(const QString& typed, const std::string& local) {
    if (localToUtf8(local) != typed.toStdString()) {
        return localText("文件名格式中有无法保存的字符");
    }
    return fileTemplateProblem(local);
}

}  // namespace

int addNameControls(QWidget* window, int y, DownloadCore& core) {
    const SettingKey key = SettingKey::FileNameTemplate;
    newLabel(window, settingControlName("透明标签_", key).c_str(), QStringLiteral("文件名格式："),
             {8, y, 96, 32});
    QLineEdit* edit =
        newEdit(window, settingControlName("编辑框_", key).c_str(), {104, y, 272, 32});
    edit->setText(toQString(core.settings.get().fileNameTemplate));
    edit->setToolTip(QStringLiteral(
        "用/分隔目录，可用字段：{videoTitle} {pageTitle} {pageNumber} {pageNumberWithZero} {bvid} "
        "{aid} {cid} {quality} {codec} {owner} {ownerMid} {publishDate} {listName} {episode}"));
    QObject::connect(edit, &QLineEdit::editingFinished, window, [&core, edit] {
        const std::string stored = core.settings.get().fileNameTemplate;
        const std::string local = utf8ToLocalText(edit->text().toStdString());
        if (local == stored) return;
        const std::string refusal = templateRefusal(edit->text(), local);
        if (!refusal.empty()) {
            edit->setText(toQString(stored));
            showMessageBox(refusal);
            return;
        }
        keepAndFollow(core, {{SettingKey::FileNameTemplate, local}});
    });
    return y + 40;
}

}  // namespace quivra

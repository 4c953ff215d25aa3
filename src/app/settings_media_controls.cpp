#include "app/settings_media_controls.h"

#include <QCheckBox>
#include <QWidget>

#include "base/config_file.h"
#include "base/shared_state.h"

namespace quivra {

namespace {

// A check box showing one switch of the download settings and storing it when toggled.
void addSwitch(QWidget* window, const char* name, const QString& text, const QRect& geometry,
               bool DownloadSettings::*field, const char* key) {
    auto* box = new QCheckBox(text, window);
    box->setObjectName(QString::fromUtf8(name));
    box->setGeometry(geometry);
    box->setChecked(sharedState().download.get().*field);
    QObject::connect(box, &QCheckBox::toggled, window, [field, key](bool on) {
        sharedState().download.update([&](DownloadSettings& s) { s.*field = on; });
        writeConfigItem(sharedState().configPath, "download", key, on ? "1" : "0");
    });
}

}  // namespace

void addMediaControls(QWidget* window, int top) {
    addSwitch(window, "选择框_writeTags", QStringLiteral("写入视频信息"), {8, top, 180, 32},
              &DownloadSettings::writeTags, "writeTags");
    addSwitch(window, "选择框_saveCover", QStringLiteral("保存封面"), {196, top, 180, 32},
              &DownloadSettings::saveCover, "saveCover");
}

}  // namespace quivra

#include "app/settings_quality_controls.h"

#include <QComboBox>

#include <string>

#include "app/controls_window.h"
#include "base/config_file.h"
#include "base/shared_state.h"
#include "download/plan/default_quality.h"
#include "net/text_encoding.h"
#include "video/audio_choices.h"

namespace quivra {

namespace {

// A choice of names (UTF-8) showing stored (local text; an unknown one shows the first)
// that stores each choice as key.
QComboBox* newChoice(QWidget* window, const char* name, const QRect& geometry,
                     const std::vector<std::string>& names, const std::string& stored,
                     std::string DownloadSettings::*field, const char* key) {
    auto* box = new QComboBox(window);
    box->setObjectName(QString::fromUtf8(name));
    box->setGeometry(geometry);
    for (const std::string& item : names) box->addItem(QString::fromStdString(item));
    box->setCurrentIndex(std::max(0, box->findText(toQString(stored))));
    QObject::connect(
        box, &QComboBox::currentTextChanged, window, [field, key](const QString& text) {
            const std::string local = utf8ToLocalText(text.toStdString());
            sharedState().download.update([&](DownloadSettings& s) { s.*field = local; });
            writeConfigItem(sharedState().configPath, "download", key, local);
        });
    return box;
}

}  // namespace

int addQualityControls(QWidget* window, int y) {
    const DownloadSettings settings = sharedState().download.get();
    std::vector<std::string> audioNames;
    for (const AudioChoice& audio : kAudioChoices) audioNames.emplace_back(audio.name);

    newLabel(window, "透明标签_defaultVideoQuality", QStringLiteral("默认视频质量："),
             {8, y, 96, 32});
    newChoice(window, "组合框_defaultVideoQuality", {104, y + 4, 96, 24}, videoCeilingNames(),
              settings.defaultVideoQuality, &DownloadSettings::defaultVideoQuality,
              "defaultVideoQuality");
    newLabel(window, "透明标签_defaultAudioQuality", QStringLiteral("默认音频质量："),
             {208, y, 96, 32});
    newChoice(window, "组合框_defaultAudioQuality", {304, y + 4, 56, 24}, audioNames,
              settings.defaultAudioQuality, &DownloadSettings::defaultAudioQuality,
              "defaultAudioQuality");
    return y + 32;
}

}  // namespace quivra

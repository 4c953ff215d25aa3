#include "app/settings_quality_controls.h"

#include <QComboBox>

#include <algorithm>
#include <string>
#include <vector>

#include "app/controls_window.h"
#include "app/setting_control.h"
#include "base/shared_state.h"
#include "download/plan/default_quality.h"
#include "net/text_encoding.h"
#include "video/audio_choices.h"

namespace quivra {

namespace {

// A choice of names (UTF-8) showing the row's stored value (local text; an unknown one shows
// the first) that keeps each choice, with its label before it.
void newChoice(QWidget* window, DownloadCore& core, SettingKey key, const QString& label,
               const QRect& labelPlace, const QRect& place, const std::vector<std::string>& names) {
    newLabel(window, settingControlName("透明标签_", key).c_str(), label, labelPlace);
    auto* box = new QComboBox(window);
    box->setObjectName(settingObjectName("组合框_", key));
    box->setGeometry(place);
    for (const std::string& item : names) box->addItem(QString::fromStdString(item));
    const std::string stored = settingText(settingRow(key), core.settings.get());
    box->setCurrentIndex(std::max(0, box->findText(toQString(stored))));
    QObject::connect(box, &QComboBox::currentTextChanged, window,
                     [&core, key](const QString& text) {
                         keepAndFollow(core, {{key, utf8ToLocalText(text.toStdString())}});
                     });
}

}  // namespace

int addQualityControls(QWidget* window, int y, DownloadCore& core) {
    std::vector<std::string> audioNames;
    for (const AudioChoice& audio : kAudioChoices) audioNames.emplace_back(audio.name);
    newChoice(window, core, SettingKey::DefaultVideoQuality, QStringLiteral("默认视频质量："),
              {8, y, 96, 32}, {104, y + 4, 96, 24}, videoCeilingNames());
    newChoice(window, core, SettingKey::DefaultAudioQuality, QStringLiteral("默认音频质量："),
              {208, y, 96, 32}, {304, y + 4, 80, 24}, audioNames);
    return y + 32;
}

}  // namespace quivra

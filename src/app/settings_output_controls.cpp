#include "app/settings_output_controls.h"

#include <QComboBox>

#include <algorithm>
#include <string>
#include <vector>

#include "app/controls_window.h"
#include "app/setting_control.h"
#include "download/download_core.h"
#include "download/plan/output_format.h"

namespace quivra {

namespace {

// The containers of a file with video: the first is the default.
constexpr const char* kContainers[] = {"mp4", "mkv"};

struct Item {
    QString name;
    QString value;
};

// A labelled box of the items, showing the stored value (the first item for another); a
// choice keeps its value.
void addChoiceBox(QWidget* window, DownloadCore& core, SettingKey key, const QString& label,
                  const std::vector<Item>& items, const std::string& stored, int x, int labelWidth,
                  int y) {
    newLabel(window, settingControlName("透明标签_", key).c_str(), label, {x, y, labelWidth, 32});
    auto* box = new QComboBox(window);
    box->setObjectName(settingObjectName("组合框_", key));
    box->setGeometry(x + labelWidth, y + 4, 96, 24);
    for (const Item& item : items) box->addItem(item.name, item.value);
    box->setCurrentIndex(std::max(0, box->findData(QString::fromStdString(stored))));
    QObject::connect(box, &QComboBox::currentIndexChanged, window, [&core, box, key](int index) {
        keepAndFollow(core, {{key, box->itemData(index).toString().toStdString()}});
    });
}

}  // namespace

int addOutputControls(QWidget* window, int y, DownloadCore& core) {
    const DownloadSettings stored = core.settings.get();
    std::vector<Item> contents;
    for (const ContentChoice& choice : kContentChoices) {
        contents.push_back({QString::fromUtf8(choice.name), QString::fromLatin1(choice.key)});
    }
    addChoiceBox(window, core, SettingKey::DownloadContent, QStringLiteral("下载内容："), contents,
                 stored.downloadContent, 8, 96, y);  // its box under the codec's
    std::vector<Item> containers;
    for (const char* name : kContainers) {
        containers.push_back({QString::fromLatin1(name).toUpper(), QString::fromLatin1(name)});
    }
    addChoiceBox(window, core, SettingKey::Container, QStringLiteral("容器："), containers,
                 stored.container, 212, 56, y);
    return y + 32;
}

}  // namespace quivra

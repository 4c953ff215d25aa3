#include "app/settings_switches.h"

#include <QCheckBox>
#include <QWidget>

#include "base/config_file.h"
#include "base/shared_state.h"

namespace quivra {

namespace {

struct SettingSwitch {
    const char* name;  // objectName
    const char* text;
    const char* key;  // in [download]
    bool DownloadSettings::*field;
};

const SettingSwitch kSwitches[] = {
    {"选择框_writeTags", "写入视频信息", "writeTags", &DownloadSettings::writeTags},
    {"选择框_saveCover", "保存封面", "saveCover", &DownloadSettings::saveCover},
    {"选择框_minimizeToTray", "关闭主窗口时最小化到托盘", "minimizeToTray",
     &DownloadSettings::minimizeToTray},
    {"选择框_watchClipboard", "监视剪贴板", "watchClipboard", &DownloadSettings::watchClipboard},
    {"选择框_notifyOnFinish", "下载完成时通知", "notifyOnFinish",
     &DownloadSettings::notifyOnFinish},
};

constexpr int kRowHeight = 32;

}  // namespace

int addSettingSwitches(QWidget* window, int top) {
    const DownloadSettings settings = sharedState().download.get();
    for (const SettingSwitch& flag : kSwitches) {
        auto* box = new QCheckBox(QString::fromUtf8(flag.text), window);
        box->setObjectName(QString::fromUtf8(flag.name));
        box->setGeometry(8, top, 240, kRowHeight);
        box->setChecked(settings.*flag.field);  // showing the stored value writes nothing
        QObject::connect(box, &QCheckBox::toggled, window, [&flag](bool on) {
            sharedState().download.update([&](DownloadSettings& s) { s.*flag.field = on; });
            writeConfigItem(sharedState().configPath, "download", flag.key, on ? "1" : "0");
        });
        top += kRowHeight;
    }
    return top;
}

}  // namespace quivra

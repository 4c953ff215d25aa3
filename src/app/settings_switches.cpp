#include "app/settings_switches.h"

#include <QCheckBox>
#include <QWidget>

#include "app/setting_control.h"
#include "base/shared_state.h"

namespace quivra {

namespace {

// Each box is a Flag row of the settings table, named "选择框_" + its key.
struct SettingSwitch {
    SettingKey key;
    const char* text;
};

const SettingSwitch kSwitches[] = {
    {SettingKey::WriteTags, "写入视频信息"},
    {SettingKey::SaveCover, "保存封面"},
    {SettingKey::MinimizeToTray, "关闭主窗口时最小化到托盘"},
    {SettingKey::WatchClipboard, "监视剪贴板"},
    {SettingKey::NotifyOnFinish, "下载完成时通知"},
    {SettingKey::UltraFormats, "请求杜比视界和8K"},
    {SettingKey::KeepTitleCharacters, "保留原标题字符"},
    {SettingKey::Subtitles, "下载字幕"},
    {SettingKey::AiSubtitles, "包含AI字幕"},
    {SettingKey::LibraryInfo, "生成媒体库信息"},
    {SettingKey::Danmaku, "下载弹幕"},  // last: its 弹幕设置… takes the cell beside it
};

constexpr int kRowHeight = 30;  // a check box is 20 px high
// Two boxes a row, so that the window fits a small laptop's screen.
constexpr int kColumns = 2;
constexpr int kColumnWidth = 188;

}  // namespace

int addSettingSwitches(QWidget* window, int top, DownloadCore& core, QWidget* besideLast) {
    const DownloadSettings settings = sharedState().download.get();
    int index = 0;
    const auto cell = [&index, top] {
        const QRect rect(8 + index % kColumns * kColumnWidth, top + index / kColumns * kRowHeight,
                         kColumnWidth - 6, kRowHeight);
        ++index;
        return rect;
    };
    for (const SettingSwitch& flag : kSwitches) {
        auto* box = new QCheckBox(QString::fromUtf8(flag.text), window);
        box->setObjectName(settingObjectName("选择框_", flag.key));
        box->setGeometry(cell());
        // Showing the stored value writes nothing.
        box->setChecked(settingText(settingRow(flag.key), settings) == "1");
        const SettingKey key = flag.key;
        QObject::connect(box, &QCheckBox::toggled, window, [&core, key](bool on) {
            keepAndFollow(core, {{key, on}});
        });
    }
    if (besideLast != nullptr) {
        QRect place = cell().adjusted(0, 4, 0, -4);
        place.setWidth(112);
        besideLast->setGeometry(place);
    }
    return top + (index + kColumns - 1) / kColumns * kRowHeight;
}

}  // namespace quivra

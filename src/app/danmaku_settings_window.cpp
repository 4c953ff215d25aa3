#include "app/danmaku_settings_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextDocument>

#include <iterator>
#include <string>
#include <vector>

#include "app/controls_window.h"
#include "app/setting_control.h"
#include "base/config_file.h"
#include "net/text_encoding.h"
#include "video/comments/danmaku_filter.h"

namespace quivra {

namespace {

QLabel* rowLabel(QWidget* window, SettingKey key, const char* text) {
    auto* label = new QLabel(QString::fromUtf8(text), window);
    label->setObjectName(settingObjectName("透明标签_", key));
    return label;
}

struct NumberRow {
    SettingKey key;
    const char* label;
    const char* unit;
    const char* hint;
};

const NumberRow kNumbers[] = {
    {SettingKey::DanmakuFontSize, "字号：", " px",
     "1080线画面中普通弹幕的字号，画面更小时按比例缩小"},
    {SettingKey::DanmakuOpacity, "不透明度：", " %", ""},
    {SettingKey::DanmakuScrollSeconds, "滚动时长：", " 秒", "滚动弹幕从画面右边到左边所用的时间"},
};

struct FlagBox {
    SettingKey key;
    const char* text;
};

const FlagBox kHides[] = {
    {SettingKey::DanmakuHideTop, "顶部"},
    {SettingKey::DanmakuHideBottom, "底部"},
    {SettingKey::DanmakuHideScrolling, "滚动"},
    {SettingKey::DanmakuHideColored, "彩色"},
};

struct AreaChoice {
    const char* name;
    int percent;
};

// 显示区域: the part of the frame's height the comments may fill.
const AreaChoice kAreas[] = {{"1/4", 25}, {"1/2", 50}, {"3/4", 75}, {"全屏", 100}};

// So that a long paste of broken patterns cannot make the window outgrow the screen.
constexpr int kProblemsShown = 3;

int storedNumber(const SettingRow& row, const DownloadSettings& settings) {
    return textToInteger(settingText(row, settings));
}

}  // namespace

DanmakuSettingsWindow* DanmakuSettingsWindow::showFor(std::shared_ptr<DownloadCore> core,
                                                      QWidget* owner) {
    auto* window = owner->findChild<DanmakuSettingsWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (window == nullptr) {
        window = new DanmakuSettingsWindow(std::move(core), owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
        // Beside its owner, so that both can be seen.
        window->move(owner->frameGeometry().topRight() + QPoint(8, 0));
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

DanmakuSettingsWindow::DanmakuSettingsWindow(std::shared_ptr<DownloadCore> core, QWidget* owner)
    : QWidget(owner, Qt::Window), core_(std::move(core)) {
    setObjectName(QStringLiteral("DanmakuSettingsWindow"));
    setWindowTitle(QStringLiteral("弹幕设置"));
    auto* form = new QFormLayout(this);

    font_ = new QFontComboBox(this);
    font_->setObjectName(settingObjectName("组合框_", SettingKey::DanmakuFont));
    font_->setEditable(true);  // a font of the computer that plays the file may be typed
    font_->setInsertPolicy(QComboBox::NoInsert);
    form->addRow(rowLabel(this, SettingKey::DanmakuFont, "字体："), font_);
    connect(font_, &QComboBox::textActivated, this, &DanmakuSettingsWindow::storeFont);
    connect(font_->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { storeFont(font_->lineEdit()->text()); });

    for (const NumberRow& number : kNumbers) {
        const SettingRow& row = settingRow(number.key);
        auto* box = new QSpinBox(this);
        box->setObjectName(settingObjectName("编辑框_", number.key));
        box->setRange(row.least, row.most);
        box->setSuffix(QString::fromUtf8(number.unit));
        box->setToolTip(QString::fromUtf8(number.hint));
        // Stored once the number is typed, not at each of its digits.
        box->setKeyboardTracking(false);
        form->addRow(rowLabel(this, number.key, number.label), box);
        const SettingKey key = number.key;
        connect(box, &QSpinBox::valueChanged, this, [this, key](int value) {
            keepAndFollow(*core_, {{key, value}});
        });
    }

    area_ = new QComboBox(this);
    area_->setObjectName(settingObjectName("组合框_", SettingKey::DanmakuArea));
    for (const AreaChoice& area : kAreas)
        area_->addItem(QString::fromUtf8(area.name), area.percent);
    form->addRow(rowLabel(this, SettingKey::DanmakuArea, "显示区域："), area_);
    connect(area_, &QComboBox::activated, this, [this](int index) {
        keepAndFollow(*core_, {{SettingKey::DanmakuArea, area_->itemData(index).toInt()}});
    });

    auto* hides = new QHBoxLayout;
    for (const FlagBox& flag : kHides) {
        auto* box = new QCheckBox(QString::fromUtf8(flag.text), this);
        box->setObjectName(settingObjectName("选择框_", flag.key));
        hides->addWidget(box);
        const SettingKey key = flag.key;
        connect(box, &QCheckBox::toggled, this, [this, key](bool on) {
            keepAndFollow(*core_, {{key, on}});
        });
    }
    auto* hidesLabel = new QLabel(QStringLiteral("屏蔽："), this);
    hidesLabel->setObjectName(QStringLiteral("透明标签_danmakuHide"));
    form->addRow(hidesLabel, hides);

    blocklist_ = new QPlainTextEdit(this);
    blocklist_->setObjectName(settingObjectName("编辑框_", SettingKey::DanmakuBlocklist));
    blocklist_->setPlaceholderText(QStringLiteral("每行一个词；/…/ 为正则表达式"));
    blocklist_->setFixedHeight(96);
    blocklist_->installEventFilter(this);
    form->addRow(rowLabel(this, SettingKey::DanmakuBlocklist, "屏蔽词："), blocklist_);
    problems_ = new QLabel(this);
    problems_->setObjectName(QStringLiteral("透明标签_danmakuBlocklistProblems"));
    problems_->setWordWrap(true);
    problems_->setTextFormat(Qt::PlainText);
    form->addRow(QString(), problems_);

    auto* track = new QCheckBox(QStringLiteral("MKV中加入弹幕字幕轨"), this);
    track->setObjectName(settingObjectName("选择框_", SettingKey::DanmakuTrack));
    track->setToolTip(QStringLiteral("播放器打开MKV时会直接显示弹幕"));
    form->addRow(track);
    connect(track, &QCheckBox::toggled, this, [this](bool on) {
        keepAndFollow(*core_, {{SettingKey::DanmakuTrack, on}});
    });

    setMinimumWidth(380);
}

DanmakuSettingsWindow::~DanmakuSettingsWindow() {
    storeTyped();
}

// Showing the stored values is not a change: nothing is written here.
void DanmakuSettingsWindow::showStored() {
    const DownloadSettings settings = core_->settings.get();
    const QSignalBlocker fontBlocker(font_);
    font_->setEditText(toQString(settings.danmakuFont));
    for (const NumberRow& number : kNumbers) {
        auto* box = findChild<QSpinBox*>(settingObjectName("编辑框_", number.key));
        const QSignalBlocker blocker(box);
        box->setValue(storedNumber(settingRow(number.key), settings));
    }
    showArea(settings.danmakuArea);
    const auto showFlag = [this, &settings](SettingKey key) {
        auto* box = findChild<QCheckBox*>(settingObjectName("选择框_", key));
        const QSignalBlocker blocker(box);
        box->setChecked(settingText(settingRow(key), settings) == "1");
    };
    for (const FlagBox& flag : kHides) showFlag(flag.key);
    showFlag(SettingKey::DanmakuTrack);
    blocklist_->setPlainText(toQString(settings.danmakuBlocklist));
    blocklist_->document()->setModified(false);
    showBlocklistProblems();
}

// A percent config.ini holds beside the four offered is shown as it is, not as another.
void DanmakuSettingsWindow::showArea(int percent) {
    const QSignalBlocker blocker(area_);
    while (area_->count() > static_cast<int>(std::size(kAreas)))
        area_->removeItem(area_->count() - 1);
    int index = area_->findData(percent);
    if (index < 0) {
        area_->addItem(QStringLiteral("%1%").arg(percent), percent);
        index = area_->count() - 1;
    }
    area_->setCurrentIndex(index);
}

// An emptied box keeps the stored font.
void DanmakuSettingsWindow::storeFont(const QString& typed) {
    const std::string font = utf8ToLocalText(typed.trimmed().toStdString());
    if (!font.empty() && font != core_->settings.get().danmakuFont) {
        keepAndFollow(*core_, {{SettingKey::DanmakuFont, font}});
    }
    const QSignalBlocker blocker(font_);
    font_->setEditText(toQString(core_->settings.get().danmakuFont));
}

// Typed and not yet left, the font and the list are kept when the window goes.
void DanmakuSettingsWindow::storeTyped() {
    if (font_->lineEdit()->isModified()) storeFont(font_->lineEdit()->text());
    storeBlocklist();
}

// Kept as typed, line breaks and broken patterns too: nothing typed is lost. Only a typed
// list is stored, so that an untouched box never undoes a change made elsewhere.
void DanmakuSettingsWindow::storeBlocklist() {
    if (!blocklist_->document()->isModified()) return;
    blocklist_->document()->setModified(false);
    const std::string lines = utf8ToLocalText(blocklist_->toPlainText().toStdString());
    keepAndFollow(*core_, {{SettingKey::DanmakuBlocklist, lines}});
    showBlocklistProblems();
}

void DanmakuSettingsWindow::showBlocklistProblems() {
    const std::vector<std::string> problems =
        parseBlocklist(localToUtf8(core_->settings.get().danmakuBlocklist)).problems;
    QStringList shown;
    for (const std::string& problem : problems) {
        if (shown.size() == kProblemsShown) {
            const auto more = static_cast<qsizetype>(problems.size()) - kProblemsShown;
            shown << QStringLiteral("另有%1行不是有效的正则表达式").arg(more);
            break;
        }
        shown << QString::fromStdString(problem);
    }
    problems_->setText(shown.join(u'\n'));
    problems_->setVisible(!shown.isEmpty());
}

// Shown again after being minimized it keeps what is being typed.
void DanmakuSettingsWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) showStored();
    QWidget::showEvent(event);
}

void DanmakuSettingsWindow::closeEvent(QCloseEvent* event) {
    storeTyped();
    QWidget::closeEvent(event);
}

bool DanmakuSettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == blocklist_ && event->type() == QEvent::FocusOut) storeBlocklist();
    return QWidget::eventFilter(watched, event);
}

}  // namespace quivra

#include "app/settings_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QFileDialog>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <string>

#include "app/controls_window.h"
#include "app/danmaku_settings_window.h"
#include "app/main_window.h"
#include "app/setting_control.h"
#include "app/settings_codec_control.h"
#include "app/settings_name_controls.h"
#include "app/settings_network_controls.h"
#include "app/settings_output_controls.h"
#include "app/settings_quality_controls.h"
#include "app/settings_retry_controls.h"
#include "app/settings_schedule_controls.h"
#include "app/settings_subtitle_controls.h"
#include "app/settings_switches.h"
#include "base/config_file.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "download/plan/download_files.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

SettingsWindow::FolderChooser& folderChooser() {
    static SettingsWindow::FolderChooser chooser;
    return chooser;
}

QString runFolderChooser(QWidget* owner, const QString& title, const QString& initialFolder) {
    if (folderChooser()) {
        return folderChooser()(owner, title, initialFolder);
    }
    return QFileDialog::getExistingDirectory(owner, title, initialFolder,
                                             QFileDialog::ShowDirsOnly);
}

// Blanks (also the ideographic one) removed at both ends.
QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == u' ' || c == QChar(0x3000); };
    while (begin < end && blank(text[begin])) {
        ++begin;
    }
    while (end > begin && blank(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
}

// A folder the settings can keep: a line break would split the config.ini line, and a
// character that local text cannot hold would name another folder.
bool storableFolder(const QString& folder, const std::string& local) {
    for (QChar c : folder) {
        if (c.unicode() < 0x20 || c == QChar(0x7f)) {
            return false;
        }
    }
    return localToUtf8(local) == folder.toStdString();
}

}  // namespace

SettingsWindow::SettingsWindow(std::shared_ptr<DownloadCore> core, QWidget* parent)
    : QWidget(parent, Qt::Window), core_(std::move(core)) {
    setObjectName(QStringLiteral("SettingsWindow"));
    setWindowTitle(QStringLiteral("下载设置"));
    setFixedSize(390, 234);
    move(50, 50);

    newLabel(this, "透明标签1", QStringLiteral("保存路径："), {8, 8, 128, 32});
    directory_ = newEdit(this, "编辑框_downloadDirectory", {64, 8, 256, 32});
    directory_->setReadOnly(true);
    choose_ = newButton(this, "按钮_选择", QStringLiteral("选择"), {328, 8, 48, 32});

    newLabel(this, "透明标签2", QStringLiteral("线程数量："), {8, 48, 64, 32});
    threadNumber_ = newEdit(this, "编辑框_threadNumber", {64, 48, 40, 32});
    // Any integer may be typed, a negative one too; what is stored is decided on leaving the box.
    const SettingRow& threads = settingRow(SettingKey::ThreadNumber);
    threadNumber_->setValidator(new QIntValidator(threads.least, threads.most, threadNumber_));
    threadNumber_->installEventFilter(this);
    threadLimit_ =
        newLabel(this, "透明标签_threadLimit",
                 QStringLiteral("线程数量最多为%1，更大的数按%1运行").arg(ThreadPool::kMaxThreads),
                 {112, 48, 264, 32});

    resumeOnStart_ = new QCheckBox(QStringLiteral("启动时继续未完成的下载"), this);
    resumeOnStart_->setObjectName(settingObjectName("选择框_", SettingKey::ResumeOnStart));
    resumeOnStart_->setGeometry(8, 88, 240, 32);
    auto* danmaku = newButton(this, "按钮_danmakuSettings", QStringLiteral("弹幕设置…"), {});
    connect(danmaku, &QPushButton::clicked, this,
            [this] { DanmakuSettingsWindow::showFor(core_, this); });
    const int switchesEnd = addSettingSwitches(this, 120, *core_, danmaku);  // beside 下载弹幕
    retries_ = addRetryControls(this, switchesEnd, *core_);
    const int qualitiesBottom = addQualityControls(this, switchesEnd + 32 + 8, *core_);
    const int codecBottom = addCodecControl(this, qualitiesBottom, *core_);
    const int outputBottom = addOutputControls(this, codecBottom, *core_);
    const int namesBottom = addNameControls(this, outputBottom + 8, *core_);
    const int subtitlesBottom = addSubtitleControls(this, namesBottom, *core_);
    const int scheduleBottom = addScheduleControls(this, subtitlesBottom, *core_);
    setFixedSize(390, std::max(234, addNetworkControls(this, scheduleBottom, *core_) + 8));

    // Showing the stored values is not a change: nothing is checked or written here.
    const DownloadSettings settings = sharedState().download.get();
    {
        const QSignalBlocker blocker(directory_);
        directory_->setText(QString::fromStdString(localToUtf8(settings.directory)));
    }
    threadNumber_->setText(QString::number(settings.threadNumber));
    resumeOnStart_->setChecked(settings.resumeOnStart);

    connect(choose_, &QPushButton::clicked, this, &SettingsWindow::chooseFolder);
    connect(directory_, &QLineEdit::textChanged, this, &SettingsWindow::storeDirectory);
    connect(threadNumber_, &QLineEdit::textEdited, this, [this] { threadNumberEdited_ = true; });
    connect(resumeOnStart_, &QCheckBox::toggled, this, &SettingsWindow::storeResumeOnStart);
    connect(threadNumber_, &QLineEdit::textChanged, this, &SettingsWindow::showThreadLimit);
    showThreadLimit();
}

SettingsWindow::~SettingsWindow() {
    MainWindow::showMainWindow(core_);
}

void SettingsWindow::setFolderChooser(FolderChooser chooser) {
    folderChooser() = std::move(chooser);
}

void SettingsWindow::chooseFolder() {
    const QString programDirectory = QString::fromStdString(sharedState().programDirectory);
    directory_->setText(trimBlanks(
        runFolderChooser(this, QStringLiteral("请选择视频下载保存的目录"), programDirectory)));
}

void SettingsWindow::storeDirectory() {
    const QString folder = directory_->text();
    if (folder.isEmpty()) {
        return;
    }
    if (folder.contains(u' ')) {
        showMessageBox(localText("目录中不能包含空格"));
        directory_->clear();
        return;
    }
    const std::string local = utf8ToLocalText(folder.toStdString());
    if (!storableFolder(folder, local) || !ensureFolder(local)) {
        showMessageBox(localText("目录选择失败，请重新选择"));
        directory_->clear();
        return;
    }
    keepAndFollow(*core_, {{SettingKey::Directory, local}});
}

void SettingsWindow::storeThreadNumber() {
    if (threadNumber_->text().isEmpty()) {
        threadNumber_->setText(QStringLiteral("1"));
    }
    threadNumberEdited_ = false;
    const int number = textToInteger(threadNumber_->text().toStdString());
    keepAndFollow(*core_, {{SettingKey::ThreadNumber, number}});
}

void SettingsWindow::storeResumeOnStart(bool on) {
    keepAndFollow(*core_, {{SettingKey::ResumeOnStart, on}});
}

void SettingsWindow::showThreadLimit() {
    threadLimit_->setVisible(textToInteger(threadNumber_->text().toStdString()) >
                             ThreadPool::kMaxThreads);
}

bool SettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == threadNumber_ && event->type() == QEvent::FocusOut) {
        storeThreadNumber();
    }
    return QWidget::eventFilter(watched, event);
}

// Closing the window straight from the thread number box still keeps what was typed.
void SettingsWindow::closeEvent(QCloseEvent* event) {
    if (threadNumberEdited_) {
        storeThreadNumber();
    }
    QWidget::closeEvent(event);
}

}  // namespace quivra

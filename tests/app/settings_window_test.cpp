#include "app/settings_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QSpinBox>

#include <fstream>

#include "base/config_file.h"
#include "main_window_fixture.h"

namespace quivra {
namespace {

class SettingsWindowTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        chosen_.clear();
        SettingsWindow::setFolderChooser(
            [this](QWidget* owner, const QString& title, const QString& initial) {
                askedTitle_ = title;
                askedInitial_ = initial;
                askedOwner_ = owner;
                return chosen_;
            });
        openFromMenu();
    }

    void TearDown() override {
        delete settings_.data();
        SettingsWindow::setFolderChooser(nullptr);
        MainWindowTest::TearDown();
    }

    void openFromMenu() {
        for (QAction* menu : window_->menuBar()->actions()) {
            for (QAction* item : menu->menu()->actions()) {
                if (item->text() == "下载设置") item->trigger();
            }
        }
        settings_ = window_->findChild<SettingsWindow*>();
        if (settings_ == nullptr) {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (auto* s = qobject_cast<SettingsWindow*>(top)) settings_ = s;
            }
        }
    }

    void choose(const QString& folder) {
        chosen_ = folder;
        QTest::mouseClick(settings_->chooseButton(), Qt::LeftButton);
    }

    void leaveThreadNumber() {
        QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(settings_->threadNumberEdit(), &event);
    }

    std::string configFile() const { return sharedState().configPath; }

    std::optional<std::string> stored(const char* key) const {
        return findConfigItem(configFile(), "download", key);
    }

    QPointer<SettingsWindow> settings_;
    QString chosen_;
    QString askedTitle_;
    QString askedInitial_;
    QWidget* askedOwner_ = nullptr;
};

TEST_F(SettingsWindowTest, OpensInPlaceOfTheMainWindowAndBringsItBack) {
    ASSERT_NE(settings_, nullptr);
    EXPECT_TRUE(settings_->isVisible());
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(settings_->windowTitle(), "下载设置");
    // The described controls keep their places; the settings added below them make it taller.
    EXPECT_EQ(settings_->width(), 390);
    EXPECT_GE(settings_->height(), 234);

    struct Expected {
        const char* name;
        QRect geometry;
    };
    const Expected controls[] = {{"透明标签1", {8, 8, 128, 32}},
                                 {"编辑框_downloadDirectory", {64, 8, 256, 32}},
                                 {"按钮_选择", {328, 8, 48, 32}},
                                 {"透明标签2", {8, 48, 64, 32}},
                                 {"编辑框_threadNumber", {64, 48, 40, 32}}};
    for (const Expected& expected : controls) {
        auto* widget = settings_->findChild<QWidget*>(QString::fromUtf8(expected.name));
        ASSERT_NE(widget, nullptr) << expected.name;
        EXPECT_EQ(widget->geometry(), expected.geometry) << expected.name;
    }
    EXPECT_TRUE(settings_->directoryEdit()->isReadOnly());

    // The stored values are shown; showing them writes nothing.
    EXPECT_EQ(settings_->directoryEdit()->text().toStdString(),
              sharedState().programDirectory + "/download");
    EXPECT_EQ(settings_->threadNumberEdit()->text(), "3");
    EXPECT_FALSE(std::filesystem::exists(configFile()));

    settings_->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings_.isNull(); }, 2000));
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(SettingsWindowTest, ChosenFolderIsCreatedAndStored) {
    const std::filesystem::path target = folder() / "视频" / "new" / "nested";
    std::filesystem::remove_all(folder() / "视频");
    choose(QString::fromStdString(target.string()) + "\u3000 ");

    EXPECT_EQ(askedTitle_, "请选择视频下载保存的目录");
    EXPECT_EQ(askedInitial_.toStdString(), sharedState().programDirectory);
    EXPECT_EQ(askedOwner_, settings_.data());
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_EQ(settings_->directoryEdit()->text().toStdString(), target.string());
    // Stored as local text, in memory and in config.ini alike.
    const std::string local = utf8ToLocalText(target.string());
    EXPECT_EQ(sharedState().download.get().directory, local);
    EXPECT_EQ(stored("directory"), local);
    EXPECT_TRUE(messages_.texts().empty());
}

TEST_F(SettingsWindowTest, RefusedFoldersLeaveTheSettingAsItWas) {
    const std::string before = sharedState().download.get().directory;
    std::ofstream(folder() / "plain-file") << "x";
    struct Case {
        QString folder;
        const char* message;
    };
    const Case cases[] = {
        {QString::fromStdString((folder() / "with blank" / "x").string()), "目录中不能包含空格"},
        {QString::fromStdString((folder() / "plain-file" / "sub").string()),
         "目录选择失败，请重新选择"},
        {QString::fromStdString((folder() / "line\nbreak").string()), "目录选择失败，请重新选择"},
        {QString::fromStdString((folder() / "emoji😀").string()), "目录选择失败，请重新选择"},
    };
    for (const Case& c : cases) {
        messages_.clear();
        choose(c.folder);
        EXPECT_EQ(messages_.texts(), std::vector<std::string>{c.message}) << c.folder.toStdString();
        EXPECT_EQ(settings_->directoryEdit()->text(), "") << c.folder.toStdString();
        EXPECT_EQ(sharedState().download.get().directory, before);
    }
    EXPECT_FALSE(std::filesystem::exists(folder() / "with blank"));
    EXPECT_FALSE(std::filesystem::exists(folder() / "line\nbreak"));

    // Cancelling the dialog empties the field and changes nothing.
    messages_.clear();
    choose("");
    EXPECT_EQ(settings_->directoryEdit()->text(), "");
    EXPECT_TRUE(messages_.texts().empty());
    EXPECT_FALSE(std::filesystem::exists(configFile()));
}

TEST_F(SettingsWindowTest, ThreadNumberIsStoredWhenItsBoxLosesFocus) {
    QLineEdit* edit = settings_->threadNumberEdit();
    edit->clear();
    leaveThreadNumber();
    EXPECT_EQ(edit->text(), "1");
    EXPECT_EQ(sharedState().download.get().threadNumber, 1);
    EXPECT_EQ(stored("threadNumber"), "1");

    // Only an integer gets in, a negative one too: the pool raises it to 1 at the next start.
    edit->clear();
    QTest::keyClicks(edit, "-a1b2 ");
    EXPECT_EQ(edit->text(), "-12");
    leaveThreadNumber();
    EXPECT_EQ(stored("threadNumber"), "-12");

    edit->setText("0");
    leaveThreadNumber();
    EXPECT_EQ(sharedState().download.get().threadNumber, 0);
    EXPECT_EQ(stored("threadNumber"), "0");
    // The directory key was never written by these changes.
    EXPECT_EQ(stored("directory"), std::nullopt);

    // Typed, then the window closed without leaving the box first.
    QTest::keyClicks(edit, "7");
    settings_->close();
    EXPECT_EQ(stored("threadNumber"), "7");
    EXPECT_EQ(sharedState().download.get().threadNumber, 7);
}

TEST_F(SettingsWindowTest, AThreadNumberAboveTheCapIsStoredButSaysWhatRuns) {
    QLineEdit* edit = settings_->threadNumberEdit();
    EXPECT_FALSE(settings_->threadLimitLabel()->isVisible());
    edit->setText("10000");
    leaveThreadNumber();
    EXPECT_EQ(stored("threadNumber"), "10000");
    EXPECT_TRUE(settings_->threadLimitLabel()->isVisible());
    EXPECT_EQ(settings_->threadLimitLabel()->text(), "线程数量最多为64，更大的数按64运行");
    edit->setText("64");
    EXPECT_FALSE(settings_->threadLimitLabel()->isVisible());
}

// The stored choice shows when the window opens again; a choice is stored as it is made.
TEST_F(SettingsWindowTest, DefaultQualitiesAreStoredAsChosenAndShownAgain) {
    auto* video = settings_->findChild<QComboBox*>("组合框_defaultVideoQuality");
    auto* audio = settings_->findChild<QComboBox*>("组合框_defaultAudioQuality");
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->currentText(), "最高可用");
    EXPECT_EQ(audio->currentText(), "高");
    QStringList names;
    for (int i = 0; i < video->count(); ++i) names << video->itemText(i);
    EXPECT_EQ(names, QStringList({"最高可用", "4K", "1080P60", "1080P", "720P", "480P", "360P"}));
    names.clear();
    for (int i = 0; i < audio->count(); ++i) names << audio->itemText(i);
    EXPECT_EQ(names, QStringList({"高", "中", "低", "无损", "杜比全景声"}));

    video->setCurrentText("720P");
    audio->setCurrentText("低");
    EXPECT_EQ(stored("defaultVideoQuality"), localText("720P"));
    EXPECT_EQ(stored("defaultAudioQuality"), localText("低"));
    EXPECT_EQ(localToUtf8(sharedState().download.get().defaultAudioQuality), "低");
    settings_->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return settings_.isNull(); }, 2000));
    loadSharedState(folder().string());  // as the next start reads config.ini
    openFromMenu();
    ASSERT_TRUE(settings_);
    EXPECT_EQ(settings_->findChild<QComboBox*>("组合框_defaultVideoQuality")->currentText(),
              "720P");
    EXPECT_EQ(settings_->findChild<QComboBox*>("组合框_defaultAudioQuality")->currentText(), "低");
}

// 视频编码 offers the six orders, the default first; a choice is stored as it is made and
// shown again, and a stored text naming no order shows the default.
TEST_F(SettingsWindowTest, CodecOrderIsStoredAsChosenAndABrokenOneShowsTheDefault) {
    const auto box = [&] { return settings_->findChild<QComboBox*>("组合框_videoCodecs"); };
    ASSERT_TRUE(box());
    QStringList orders;
    for (int i = 0; i < box()->count(); ++i) orders << box()->itemText(i);
    EXPECT_EQ(orders, QStringList({"AVC > HEVC > AV1", "AVC > AV1 > HEVC", "HEVC > AVC > AV1",
                                   "HEVC > AV1 > AVC", "AV1 > AVC > HEVC", "AV1 > HEVC > AVC"}));
    EXPECT_EQ(box()->currentText(), "AVC > HEVC > AV1");

    box()->setCurrentText("HEVC > AV1 > AVC");
    EXPECT_EQ(stored("videoCodecs"), "hevc,av1,avc");
    EXPECT_EQ(sharedState().download.get().videoCodecs, "hevc,av1,avc");
    for (const auto& [text, shown] : {std::pair{"hevc,av1,avc", "HEVC > AV1 > AVC"},
                                      std::pair{"avc,mpeg2", "AVC > HEVC > AV1"}}) {
        settings_->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return settings_.isNull(); }, 2000));
        ASSERT_TRUE(writeConfigItem(configFile(), "download", "videoCodecs", text));
        loadSharedState(folder().string());  // as the next start reads config.ini
        openFromMenu();
        ASSERT_TRUE(settings_);
        EXPECT_EQ(box()->currentText(), shown) << text;
    }
}

// 下载内容 and 容器 show the defaults without storing them, and store a choice as it is made.
TEST_F(SettingsWindowTest, ContentAndContainerAreStoredAsChosen) {
    auto* content = settings_->findChild<QComboBox*>("组合框_downloadContent");
    auto* container = settings_->findChild<QComboBox*>("组合框_container");
    ASSERT_TRUE(content && container);
    EXPECT_EQ(content->currentText(), "音视频");
    EXPECT_EQ(container->currentText(), "MP4");
    EXPECT_EQ(stored("downloadContent"), std::nullopt);
    EXPECT_EQ(stored("container"), std::nullopt);
    content->setCurrentText("仅音频");
    container->setCurrentText("MKV");
    EXPECT_EQ(stored("downloadContent"), "audio");
    EXPECT_EQ(stored("container"), "mkv");
    EXPECT_EQ(sharedState().download.get().downloadContent, "audio");
}

// A template is stored when its box is left; one that cannot name files is refused with
// its reason and the stored one shown again. 保留原标题字符 starts off and is stored.
TEST_F(SettingsWindowTest, FileNameTemplateIsCheckedBeforeItIsStored) {
    auto* edit = settings_->findChild<QLineEdit*>(QStringLiteral("编辑框_fileNameTemplate"));
    auto* keep = settings_->findChild<QCheckBox*>(QStringLiteral("选择框_keepTitleCharacters"));
    ASSERT_TRUE(edit && keep);
    EXPECT_EQ(edit->text(), "{videoTitle}/{pageNumberWithZero}_{pageTitle}");
    EXPECT_EQ(keep->text(), "保留原标题字符");
    EXPECT_FALSE(keep->isChecked());

    edit->setText("{owner}/{bvid}_{pageNumber}");
    emit edit->editingFinished();
    EXPECT_EQ(stored("fileNameTemplate"), "{owner}/{bvid}_{pageNumber}");
    for (const char* refused : {"../{bvid}", "{videoTitle}/", "{title}", "名字😀"}) {
        messages_.clear();
        edit->setText(QString::fromUtf8(refused));
        emit edit->editingFinished();
        EXPECT_EQ(messages_.texts().size(), 1u) << refused;
        EXPECT_EQ(edit->text(), "{owner}/{bvid}_{pageNumber}") << refused;
        EXPECT_EQ(sharedState().download.get().fileNameTemplate, "{owner}/{bvid}_{pageNumber}");
    }
    EXPECT_EQ(messages_.texts(), std::vector<std::string>{"文件名格式中有无法保存的字符"});

    keep->setChecked(true);
    EXPECT_EQ(stored("keepTitleCharacters"), "1");
    EXPECT_TRUE(sharedState().download.get().keepTitleCharacters);
}

// 包含AI字幕 starts off; 字幕语言 takes "all" or language tags and refuses anything else
// with a message, showing the stored languages again.
TEST_F(SettingsWindowTest, SubtitleLanguagesAreCheckedBeforeTheyAreStored) {
    auto* edit = settings_->findChild<QLineEdit*>(QStringLiteral("编辑框_subtitleLanguages"));
    auto* ai = settings_->findChild<QCheckBox*>(QStringLiteral("选择框_aiSubtitles"));
    ASSERT_TRUE(edit && ai);
    EXPECT_EQ(edit->text(), "all");
    EXPECT_FALSE(ai->isChecked());
    ai->setChecked(true);
    EXPECT_EQ(stored("aiSubtitles"), "1");

    edit->setText("zh-CN,en-US");
    emit edit->editingFinished();
    EXPECT_EQ(stored("subtitleLanguages"), "zh-CN,en-US");
    for (const char* refused : {"", "zh-CN,,en-US", "中文", "../x"}) {
        messages_.clear();
        edit->setText(QString::fromUtf8(refused));
        emit edit->editingFinished();
        EXPECT_EQ(messages_.texts().size(), 1u) << refused;
        EXPECT_EQ(edit->text(), "zh-CN,en-US") << refused;
    }
    EXPECT_EQ(sharedState().download.get().subtitleLanguages, "zh-CN,en-US");
}

// A time window is kept when its box is left, in the form it reads; a text that names no
// window is refused with its reason and the stored one stays. Its switch is stored as it
// changes, and the two rows leave the window short enough for a small screen.
TEST_F(SettingsWindowTest, TimeWindowsAreCheckedBeforeTheyAreStored) {
    auto* edit = settings_->findChild<QLineEdit*>(QStringLiteral("编辑框_downloadWindow"));
    auto* on = settings_->findChild<QCheckBox*>(QStringLiteral("选择框_downloadWindowOn"));
    auto* limitWindow = settings_->findChild<QLineEdit*>(QStringLiteral("编辑框_speedLimitWindow"));
    ASSERT_TRUE(edit && on && limitWindow);
    EXPECT_EQ(edit->text(), "01:00-07:00");
    EXPECT_EQ(limitWindow->text(), "08:00-23:00");
    EXPECT_FALSE(on->isChecked());
    on->setChecked(true);
    EXPECT_EQ(stored("downloadWindowOn"), "1");

    edit->setText(" 23:30 - 6:00 ");
    emit edit->editingFinished();
    EXPECT_EQ(stored("downloadWindow"), "23:30-06:00");
    EXPECT_EQ(edit->text(), "23:30-06:00");
    for (const char* refused : {"25:00-07:00", "08:00-08:00", "晚上", ""}) {
        messages_.clear();
        edit->setText(QString::fromUtf8(refused));
        emit edit->editingFinished();
        EXPECT_EQ(messages_.texts().size(), 1u) << refused;
        EXPECT_EQ(edit->text(), "23:30-06:00") << refused;
    }
    EXPECT_EQ(stored("downloadWindow"), "23:30-06:00");
    EXPECT_LE(settings_->height(), 700);
}

// Each switch of what an MP4 carries starts on, and is stored as it is toggled.
TEST_F(SettingsWindowTest, TagAndCoverSwitchesAreStoredAsTheyChange) {
    struct Case {
        const char* name;
        const char* text;
        const char* key;
        bool DownloadSettings::*field;
        bool initially;  // the default
    };
    const Case cases[] = {
        {"选择框_writeTags", "写入视频信息", "writeTags", &DownloadSettings::writeTags, true},
        {"选择框_saveCover", "保存封面", "saveCover", &DownloadSettings::saveCover, true},
        {"选择框_subtitles", "下载字幕", "subtitles", &DownloadSettings::subtitles, true},
        {"选择框_libraryInfo", "生成媒体库信息", "libraryInfo", &DownloadSettings::libraryInfo,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        auto* box = settings_->findChild<QCheckBox*>(QString::fromUtf8(c.name));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(box->isChecked(), c.initially);
        for (const bool on : {!c.initially, c.initially}) {
            box->setChecked(on);
            EXPECT_EQ(stored(c.key), on ? "1" : "0");
            EXPECT_EQ(sharedState().download.get().*c.field, on);
            EXPECT_EQ(loadDownloadSettings(configFile(), "/").*c.field, on);
        }
    }
}

}  // namespace
}  // namespace quivra

namespace quivra {
namespace {

TEST_F(SettingsWindowTest, SpeedLimitAndProxyAreStoredAndAProxyTheEngineCannotUseIsRefused) {
    auto* limit = settings_->findChild<QSpinBox*>(QStringLiteral("编辑框_speedLimit"));
    auto* mode = settings_->findChild<QComboBox*>(QStringLiteral("组合框_proxyMode"));
    auto edit = [&](const char* name) { return settings_->findChild<QLineEdit*>(name); };
    QLineEdit* address = edit("编辑框_proxyAddress");
    QLineEdit* user = edit("编辑框_proxyUser");
    QLineEdit* password = edit("编辑框_proxyPassword");
    ASSERT_TRUE(limit && mode && address && user && password);

    limit->setValue(512);
    emit limit->editingFinished();
    EXPECT_EQ(stored("speedLimit"), "512");
    EXPECT_EQ(sharedState().download.get().speedLimit, 512 << 10);

    // Choosing an address waits for it to be typed.
    mode->setCurrentIndex(2);
    emit mode->activated(2);
    EXPECT_TRUE(messages_.texts().empty());
    EXPECT_FALSE(stored("proxyMode"));

    address->setText("socks5://127.0.0.1:1080");
    emit address->editingFinished();
    EXPECT_EQ(
        messages_.texts(),
        std::vector<std::string>{"下载引擎不能使用SOCKS代理，请填写HTTP代理（http://主机:端口）"});
    EXPECT_FALSE(stored("proxyMode"));
    EXPECT_EQ(sharedState().download.get().proxy.mode, ProxyMode::None);

    address->setText("http://127.0.0.1:3128");
    user->setText("fern");
    password->setText("pw-7fq2");
    emit password->editingFinished();
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(stored("proxyMode"), "address");
    EXPECT_EQ(stored("proxyAddress"), "http://127.0.0.1:3128");
    EXPECT_EQ(stored("proxyUser"), "fern");
    EXPECT_EQ(stored("proxyPassword"), "pw-7fq2");
    EXPECT_EQ(std::filesystem::status(configFile()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(sharedState().download.get().proxy.user, "fern");

    // A reopened window shows what was stored.
    delete settings_.data();
    openFromMenu();
    EXPECT_EQ(settings_->findChild<QComboBox*>(QStringLiteral("组合框_proxyMode"))->currentIndex(),
              2);
    EXPECT_EQ(settings_->findChild<QSpinBox*>(QStringLiteral("编辑框_speedLimit"))->value(), 512);
}

}  // namespace
}  // namespace quivra

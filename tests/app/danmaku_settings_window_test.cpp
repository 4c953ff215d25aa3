#include "app/danmaku_settings_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSpinBox>

#include <fstream>
#include <functional>
#include <iterator>

#include "app/settings_window.h"
#include "base/config_file.h"
#include "main_window_fixture.h"

namespace quivra {
namespace {

// The 弹幕设置 window as a user reaches it: 设置 > 下载设置, then 弹幕设置….
class DanmakuSettingsWindowTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        openSettings();
        openDanmaku();
    }

    void TearDown() override {
        delete settings_.data();
        MainWindowTest::TearDown();
    }

    void openSettings() {
        for (QAction* menu : window_->menuBar()->actions()) {
            for (QAction* item : menu->menu()->actions()) {
                if (item->text() == "下载设置") item->trigger();
            }
        }
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* s = qobject_cast<SettingsWindow*>(top)) settings_ = s;
        }
        ASSERT_TRUE(settings_);
    }

    void openDanmaku() {
        auto* button = settings_->findChild<QPushButton*>(QStringLiteral("按钮_danmakuSettings"));
        ASSERT_TRUE(button);
        QTest::mouseClick(button, Qt::LeftButton);
        danmaku_ = settings_->findChild<DanmakuSettingsWindow*>();
        ASSERT_TRUE(danmaku_);
    }

    void closeDanmaku() {
        danmaku_->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return danmaku_.isNull(); }, 2000));
    }

    template <class Control>
    Control* control(const char* name) const {
        return danmaku_->findChild<Control*>(QString::fromUtf8(name));
    }

    QPlainTextEdit* blocklist() const { return control<QPlainTextEdit>("编辑框_danmakuBlocklist"); }
    QLabel* problems() const { return control<QLabel>("透明标签_danmakuBlocklistProblems"); }

    std::string configFile() const { return sharedState().configPath; }
    std::optional<std::string> stored(const char* key) const {
        return findConfigItem(configFile(), "download", key);
    }

    QPointer<SettingsWindow> settings_;
    QPointer<DanmakuSettingsWindow> danmaku_;
};

SettingKey keyNamed(const char* key) {
    for (const SettingRow& row : settingRows()) {
        if (std::string(row.key) == key) return row.id;
    }
    ADD_FAILURE() << key;
    return SettingKey::Danmaku;
}

// The key's value in the shared record, as config.ini holds it.
std::string recordText(const char* key) {
    return settingText(settingRow(keyNamed(key)), sharedState().download.get());
}

TEST_F(DanmakuSettingsWindowTest, OpensOnceFromTheSettingsWindowShowingTheDefaults) {
    auto* on = settings_->findChild<QCheckBox*>(QStringLiteral("选择框_danmaku"));
    ASSERT_TRUE(on);
    EXPECT_EQ(on->text(), "下载弹幕");
    EXPECT_FALSE(on->isChecked());
    // Still fits a small laptop's screen with the added row.
    EXPECT_LE(settings_->height(), 700);

    EXPECT_TRUE(danmaku_->isVisible());
    EXPECT_TRUE(danmaku_->isWindow());
    EXPECT_EQ(danmaku_->windowTitle(), "弹幕设置");
    openDanmaku();
    EXPECT_EQ(settings_->findChildren<DanmakuSettingsWindow*>().size(), 1);

    EXPECT_EQ(control<QFontComboBox>("组合框_danmakuFont")->currentText(), "sans-serif");
    EXPECT_EQ(control<QSpinBox>("编辑框_danmakuFontSize")->text(), "50 px");
    EXPECT_EQ(control<QSpinBox>("编辑框_danmakuOpacity")->text(), "80 %");
    EXPECT_EQ(control<QSpinBox>("编辑框_danmakuScrollSeconds")->text(), "8 秒");
    auto* area = control<QComboBox>("组合框_danmakuArea");
    QStringList areas;
    for (int i = 0; i < area->count(); ++i) areas << area->itemText(i);
    EXPECT_EQ(areas, QStringList({"1/4", "1/2", "3/4", "全屏"}));
    EXPECT_EQ(area->currentText(), "全屏");
    EXPECT_EQ(blocklist()->toPlainText(), "");
    EXPECT_FALSE(problems()->isVisible());
    // Showing is not a change.
    closeDanmaku();
    EXPECT_FALSE(std::filesystem::exists(configFile()));
}

// Every control keeps its key, in config.ini and the shared record, as it is changed; a
// number is kept once typed, not at each digit.
TEST_F(DanmakuSettingsWindowTest, EachControlStoresItsKeyAsItChanges) {
    const auto check = [this](const char* name) {
        return [this, name] { control<QCheckBox>(name)->setChecked(true); };
    };
    const auto type = [this](const char* key, const char* digits) {
        return [this, key, digits] {
            auto* box = control<QSpinBox>(("编辑框_" + std::string(key)).c_str());
            box->selectAll();
            QTest::keyClicks(box, digits);
            EXPECT_FALSE(stored(key)) << "kept before Enter";
            QTest::keyClick(box, Qt::Key_Return);
        };
    };
    QFontComboBox* font = control<QFontComboBox>("组合框_danmakuFont");
    ASSERT_GT(font->count(), font->currentIndex() + 1);
    struct Case {
        const char* key;
        std::function<void()> change;
        std::string expected;  // as config.ini holds it
    };
    const Case cases[] = {
        {"danmaku",
         [this] { settings_->findChild<QCheckBox*>(QStringLiteral("选择框_danmaku"))->click(); },
         "1"},
        {"danmakuFont", [font] { QTest::keyClick(font, Qt::Key_Down); },
         utf8ToLocalText(font->itemText(font->currentIndex() + 1).toStdString())},
        {"danmakuFont",
         [font] {
             QLineEdit* edit = font->lineEdit();
             edit->setText(QStringLiteral(" 文泉驿微米黑 "));
             emit edit->editingFinished();
         },
         localText("文泉驿微米黑")},
        {"danmakuFontSize", type("danmakuFontSize", "120"), "120"},
        {"danmakuOpacity", type("danmakuOpacity", "35"), "35"},
        {"danmakuScrollSeconds", type("danmakuScrollSeconds", "12"), "12"},
        {"danmakuArea",
         [this] { QTest::keyClick(control<QComboBox>("组合框_danmakuArea"), Qt::Key_Up); }, "75"},
        {"danmakuHideTop", check("选择框_danmakuHideTop"), "1"},
        {"danmakuHideBottom", check("选择框_danmakuHideBottom"), "1"},
        {"danmakuHideScrolling", check("选择框_danmakuHideScrolling"), "1"},
        {"danmakuHideColored", check("选择框_danmakuHideColored"), "1"},
        {"danmakuTrack", check("选择框_danmakuTrack"), "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        c.change();
        EXPECT_EQ(stored(c.key), c.expected);
        EXPECT_EQ(recordText(c.key), c.expected);
    }
}

// What config.ini holds is what the window shows, read afresh each time it opens; a
// 显示区域 other than the four offered is shown as the percent it is.
TEST_F(DanmakuSettingsWindowTest, ShowsWhatConfigIniHoldsWhenOpened) {
    closeDanmaku();
    const std::vector<std::pair<std::string, std::string>> items = {
        {"danmakuFont", localText("文泉驿正黑")},
        {"danmakuFontSize", "36"},
        {"danmakuOpacity", "100"},
        {"danmakuScrollSeconds", "30"},
        {"danmakuArea", "60"},
        {"danmakuHideColored", "1"},
        {"danmakuTrack", "1"},
        {"danmakuBlocklist", localText("剧透\\n/(/")}};
    ASSERT_TRUE(writeConfigItems(configFile(), "download", items));
    loadSharedState(folder().string());
    std::ifstream before(configFile());
    const std::string written{std::istreambuf_iterator<char>(before), {}};
    openDanmaku();

    EXPECT_EQ(control<QFontComboBox>("组合框_danmakuFont")->currentText(), "文泉驿正黑");
    EXPECT_EQ(control<QSpinBox>("编辑框_danmakuFontSize")->value(), 36);
    EXPECT_EQ(control<QSpinBox>("编辑框_danmakuOpacity")->value(), 100);
    EXPECT_EQ(control<QSpinBox>("编辑框_danmakuScrollSeconds")->value(), 30);
    EXPECT_EQ(control<QComboBox>("组合框_danmakuArea")->currentText(), "60%");
    EXPECT_FALSE(control<QCheckBox>("选择框_danmakuHideTop")->isChecked());
    EXPECT_TRUE(control<QCheckBox>("选择框_danmakuHideColored")->isChecked());
    EXPECT_TRUE(control<QCheckBox>("选择框_danmakuTrack")->isChecked());
    EXPECT_EQ(blocklist()->toPlainText(), "剧透\n/(/");
    EXPECT_TRUE(problems()->isVisible());

    closeDanmaku();
    std::ifstream after(configFile());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(after), {}), written);
}

// 屏蔽词 keeps its lines as typed; a line that is no pattern is named under the box and
// kept all the same, so that it can be mended.
TEST_F(DanmakuSettingsWindowTest, BlocklistKeepsItsLinesAndNamesBadPatterns) {
    blocklist()->insertPlainText(QStringLiteral("广告\n/[0-9]{5,}/\n/(未闭合/\n\n剧透"));
    EXPECT_FALSE(stored("danmakuBlocklist"));
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(blocklist(), &leave);

    const std::string lines = localText("广告\n/[0-9]{5,}/\n/(未闭合/\n\n剧透");
    EXPECT_EQ(sharedState().download.get().danmakuBlocklist, lines);
    EXPECT_EQ(stored("danmakuBlocklist"), localText("广告\\n/[0-9]{5,}/\\n/(未闭合/\\n\\n剧透"));
    EXPECT_EQ(loadDownloadSettings(configFile(), "/").danmakuBlocklist, lines);
    EXPECT_TRUE(problems()->isVisible());
    EXPECT_EQ(problems()->text(), "/(未闭合/：不是有效的正则表达式");

    // Many broken lines cannot make the window outgrow the screen.
    blocklist()->setPlainText(QStringLiteral("/(/\n/[/\n/)/\n/*/\n/?+/"));
    blocklist()->document()->setModified(true);
    QApplication::sendEvent(blocklist(), &leave);
    EXPECT_EQ(problems()->text(),
              "/(/：不是有效的正则表达式\n/[/：不是有效的正则表达式\n"
              "/)/：不是有效的正则表达式\n另有2行不是有效的正则表达式");
}

// Typed and never left, the font and the list are still kept when their window goes, or
// the settings window it belongs to.
TEST_F(DanmakuSettingsWindowTest, TextTypedLastIsKeptWhenTheWindowGoes) {
    const std::function<void()> endings[] = {
        [this] { danmaku_->close(); },
        [this] { delete settings_.data(); },
    };
    int round = 0;
    for (const auto& end : endings) {
        SCOPED_TRACE(round);
        if (!settings_) {
            ASSERT_NO_FATAL_FAILURE(openSettings());
        }
        if (!danmaku_) {
            ASSERT_NO_FATAL_FAILURE(openDanmaku());
        }
        const std::string word = "word" + std::to_string(++round);
        blocklist()->selectAll();
        blocklist()->insertPlainText(QString::fromStdString(word));
        QLineEdit* font = control<QFontComboBox>("组合框_danmakuFont")->lineEdit();
        font->selectAll();
        QTest::keyClicks(font, QString::fromStdString("Font " + word));
        end();
        EXPECT_TRUE(QTest::qWaitFor([&] { return danmaku_.isNull(); }, 2000));
        EXPECT_EQ(stored("danmakuBlocklist"), word);
        EXPECT_EQ(stored("danmakuFont"), "Font " + word);
        EXPECT_EQ(sharedState().download.get().danmakuBlocklist, word);
    }
}

}  // namespace
}  // namespace quivra

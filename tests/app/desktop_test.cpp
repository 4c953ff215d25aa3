// The program on the desktop: a second start (a real process) hands its address to the
// running window, the tray menu's 全部暂停 and 全部继续 on real downloads, closing with the
// tray setting, the clipboard, and 从浏览器导入 with a profile made here.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QIcon>
#include <QImage>
#include <QTabWidget>
#include <QTreeWidget>

#include <cstdlib>
#include <filesystem>

#include "app/address_intake.h"
#include "app/batch_window.h"
#include "app/clipboard_watch.h"
#include "app/desktop_tray.h"
#include "app/login_window.h"
#include "app/program_icon.h"
#include "app/running_copy.h"
#include "app/settings_window.h"
#include "base/config_file.h"
#include "download/engine/download_engine.h"
#include "download/thread_pool.h"
#include "main_window_fixture.h"
#include "support/browser_profiles.h"
#include "support/started_program.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;
using devsite::kOnePartBvid;
using devsite::kTwelvePartBvid;

using DesktopTest = MainWindowTest;

QAction* menuAction(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text) return action;
    }
    return nullptr;
}

// The addresses waiting in the batch window's box, or "" when it is not open.
QString batchAddresses() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* batch = qobject_cast<BatchWindow*>(widget)) {
            return batch->addressEdit()->toPlainText().trimmed();
        }
    }
    return {};
}

void closeBatchWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* batch = qobject_cast<BatchWindow*>(widget)) delete batch;
    }
}

int mainWindowCount() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<MainWindow*>(widget) != nullptr) ++count;
    }
    return count;
}

// This process is the running copy of a program folder; the second start is the real
// windows' program from that folder.
TEST_F(DesktopTest, SecondStartHandsItsAddressToTheRunningWindowAndEnds) {
    const fs::path copy = folder() / "running-copy";
    fs::create_directories(copy);
    const fs::path program = copy / "quivra-downloader-window";
    fs::copy_file(QUIVRA_BINARY_DIR "/program/quivra-downloader-window", program,
                  fs::copy_options::overwrite_existing);
    ASSERT_EQ(claimRunningCopy(copy.string(), {}), StartRole::First);
    RunningCopyServer server;
    ASSERT_TRUE(server.listen(copy.string()));
    QObject::connect(&server, &RunningCopyServer::addressesArrived, &server,
                     [this](const QStringList& handed) { receiveSecondStart(core_, handed); });

    // A plain fork and exec, which ThreadSanitizer follows; this process's event loop runs
    // until the hand-over has arrived.
    auto start = [&](const std::vector<std::string>& arguments, const auto& handedOver) {
        test::StartedProgram second(program.string(), arguments);
        EXPECT_TRUE(QTest::qWaitFor(handedOver, 15000));
        return second.finish(std::chrono::seconds(15)).status;
    };
    window_->hide();
    const QString address = QStringLiteral("https://www.quivra.com/video/BV1xx411c7mD");
    EXPECT_EQ(start({address.toStdString()}, [&] { return batchAddresses() == address; }), 0);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(batchAddresses(), QStringLiteral("https://www.quivra.com/video/BV1xx411c7mD"));

    window_->hide();
    // No address: the window only comes to the front.
    EXPECT_EQ(start({}, [&] { return window_->isVisible(); }), 0);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(batchAddresses(), QStringLiteral("https://www.quivra.com/video/BV1xx411c7mD"));
    EXPECT_EQ(mainWindowCount(), 1);
    EXPECT_TRUE(site().requests().empty());  // nothing parsed without a press
    closeBatchWindow();
}

// A copy started from its own folder has no icon theme that holds the program's icon: its
// windows and tray entry still show the pictures built into the program.
TEST_F(DesktopTest, ProgramIconShowsWithoutATheme) {
    const QString theme = QIcon::themeName();
    const QStringList paths = QIcon::themeSearchPaths();
    QIcon::setThemeSearchPaths({QString::fromUtf8(std::getenv("QUIVRA_WINDOW_TEST_FOLDER"))});
    QIcon::setThemeName(QStringLiteral("none-here"));
    const QIcon icon = programIcon();
    QIcon::setThemeName(theme);
    QIcon::setThemeSearchPaths(paths);

    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 32, 256}) {
        const QImage picture = icon.pixmap(size).toImage();
        ASSERT_EQ(picture.width(), size);
        int opaque = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) opaque += qAlpha(picture.pixel(x, y)) > 128;
        }
        EXPECT_GT(opaque, size * size / 4) << size;  // a drawing, not an empty square
    }
}

// Closing ends the program as described unless the setting is on and a tray icon shows
// (the offscreen desktop has no tray: the window never hides where it cannot come back).
TEST_F(DesktopTest, ClosingEndsTheProgramWithoutATrayToHideIn) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const bool setting : {false, true}) {
        SCOPED_TRACE(setting);
        sharedState().download.update([&](DownloadSettings& s) { s.minimizeToTray = setting; });
        EXPECT_EXIT(
            {
                new DesktopTray(core_, qApp);
                window_->close();
                std::_Exit(3);  // not reached when closing ends the program
            },
            ::testing::ExitedWithCode(0), "");
    }
}

TEST_F(DesktopTest, CopiedAddressFillsTheBoxOnlyWithTheSettingOn) {
    ClipboardWatch watch(core_, nullptr);
    auto copy = [](const char* text) {
        QGuiApplication::clipboard()->setText(QString::fromUtf8(text));
        QApplication::processEvents();
    };
    copy("https://www.quivra.com/video/BV1xx411c7mD");
    EXPECT_EQ(window_->videoUrl(), QString());

    sharedState().download.update([](DownloadSettings& s) { s.watchClipboard = true; });
    copy("看看这个 https://www.quivra.com/video/BV1xx411c7mD?p=2 不错");
    EXPECT_EQ(window_->videoUrl(), QStringLiteral("https://www.quivra.com/video/BV1xx411c7mD?p=2"));
    copy("没有地址的一段文字");
    EXPECT_EQ(window_->videoUrl(), QStringLiteral("https://www.quivra.com/video/BV1xx411c7mD?p=2"));
    copy("av170001\nBV1xx411c7mD\nav170001");  // several: the batch window takes them
    EXPECT_EQ(window_->videoUrl(), QStringLiteral("https://www.quivra.com/video/BV1xx411c7mD?p=2"));
    EXPECT_EQ(batchAddresses(), QStringLiteral("av170001\nBV1xx411c7mD"));
    closeBatchWindow();
    EXPECT_EQ(videoAddressesIn(QStringLiteral("av170001\nBV1xx411c7mD\nav170001")),
              QStringList({QStringLiteral("av170001"), QStringLiteral("BV1xx411c7mD")}));
    EXPECT_TRUE(site().requests().empty());
}

// 从浏览器导入 logs in as a pasted cookie does, with the site's cookie only.
TEST_F(DesktopTest, BrowserImportLogsInWithTheSiteCookieOnly) {
    const fs::path home = folder() / "browser-home";
    fs::remove_all(home);
    const std::string savedHome = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    ::setenv("HOME", home.c_str(), 1);
    const std::string member = devsite::kMemberCookie;
    test::makeChromiumProfile(home, {{"127.0.0.1", "SESSDATA", member.substr(member.find('=') + 1)},
                                     {".example.org", "SESSDATA", "other-site-secret"}});
    QPointer<LoginWindow> login = new LoginWindow(core_);
    login->show();
    login->tabs()->setCurrentIndex(3);
    QTest::mouseClick(login->firefoxLoginButton(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return login->firefoxLoginButton()->isEnabled(); }, 5000));
    EXPECT_EQ(messages_.texts(), std::vector<std::string>{"没有找到Firefox的用户配置"});
    QTest::mouseClick(login->chromiumLoginButton(), Qt::LeftButton);
    const bool closed = QTest::qWaitFor([&] { return login.isNull(); }, 10000);
    ::setenv("HOME", savedHome.c_str(), 1);
    delete login.data();
    ASSERT_TRUE(closed);
    EXPECT_EQ(messages_.texts().back(), "登录成功，欢迎您：星河漫步者");
    EXPECT_EQ(sharedState().user.get().cookie, member);
    EXPECT_EQ(readConfigItem(configPath(), "user", "cookie"), member);
}

// Each box starts from its default when config.ini names none, and a click stores the key
// that the next start reads.
TEST_F(DesktopTest, SettingBoxesStoreTheirKeys) {
    struct Box {
        const char* name;
        const char* key;
        bool byDefault;
        bool DownloadSettings::*field;
    };
    const Box boxes[] = {
        {"选择框_minimizeToTray", "minimizeToTray", false, &DownloadSettings::minimizeToTray},
        {"选择框_watchClipboard", "watchClipboard", false, &DownloadSettings::watchClipboard},
        {"选择框_notifyOnFinish", "notifyOnFinish", true, &DownloadSettings::notifyOnFinish},
        {"选择框_ultraFormats", "ultraFormats", false, &DownloadSettings::ultraFormats},
    };
    SettingsWindow settings(core_);
    for (const Box& box : boxes) {
        SCOPED_TRACE(box.name);
        auto* check = settings.findChild<QCheckBox*>(QString::fromUtf8(box.name));
        ASSERT_NE(check, nullptr);
        EXPECT_EQ(check->isChecked(), box.byDefault);
        check->click();
        EXPECT_EQ(readConfigItem(configPath(), "download", box.key), box.byDefault ? "0" : "1");
        EXPECT_EQ(loadDownloadSettings(configPath(), "").*box.field, !box.byDefault);
        EXPECT_EQ(sharedState().download.get().*box.field, !box.byDefault);
    }
}

// Real downloads on the program's pool, slowed so that they still run when the menu acts.
class TrayDownloadTest : public DownloadingWindowTest {
  protected:
    void SetUp() override {
        DownloadingWindowTest::SetUp();
        const fs::path directory = folder() / "tray-downloads";
        fs::remove_all(directory);
        sharedState().download.update(
            [&](DownloadSettings& s) { s.directory = utf8ToLocalText(directory.string()); });
    }
    void TearDown() override {
        site().setBytesPerSecond(0);
        EXPECT_TRUE(QTest::qWaitFor([] { return threadPool().isIdle(); }, 60000));
        MainWindowTest::TearDown();
    }
    std::vector<ItemState> states() const {
        std::vector<ItemState> all;
        for (const DownloadItem& item : core_->queue->items()) {
            if (item.request.bvid == kTwelvePartBvid) all.push_back(item.state);
        }
        return all;
    }
};

TEST_F(TrayDownloadTest, PauseAllPausesEveryRunningItemAndResumeAllContinues) {
    DesktopTray tray(core_, nullptr);
    ASSERT_TRUE(parse(QString::fromUtf8(kTwelvePartBvid)));
    QComboBox* quality = window_->videoQualityBox();
    quality->setCurrentIndex(quality->findData(16));
    window_->list()->topLevelItem(0)->setCheckState(MainWindow::NumberColumn, Qt::Checked);
    window_->list()->topLevelItem(1)->setCheckState(MainWindow::NumberColumn, Qt::Checked);
    site().setBytesPerSecond(16 * 1024);
    window_->onDownloadSelected();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return states() == std::vector<ItemState>(2, ItemState::Running); }, 15000));

    menuAction(tray.menu(), QStringLiteral("全部暂停"))->trigger();
    EXPECT_EQ(states(), std::vector<ItemState>(2, ItemState::Paused));
    EXPECT_TRUE(QTest::qWaitFor([] { return threadPool().isIdle(); }, 10000));

    site().setBytesPerSecond(0);
    menuAction(tray.menu(), QStringLiteral("全部继续"))->trigger();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return states() == std::vector<ItemState>(2, ItemState::Done); }, 30000));
    EXPECT_EQ(trayToolTip(core_->queue->items()), "Quivra视频下载器\n没有进行中的下载");
}

}  // namespace
}  // namespace quivra

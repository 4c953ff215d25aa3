#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "account/qr_login.h"
#include "app/login_window.h"
#include "app/main_window.h"
#include "base/config_file.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "devsite/dev_site.h"
#include "net/text_encoding.h"
#include "support/local_site.h"

namespace quivra {
namespace {

using namespace std::chrono_literals;

class LoginWindowTest : public test::LocalSiteSuite {
  protected:
    static void SetUpTestSuite() { startSite(test::processFolder("quivra-login-window-test")); }

    static void TearDownTestSuite() {
        joinQrLoginWorkers();
        stopSite();
    }

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(resetRecords());
        sharedState().site.login = site().baseUrl();
        site().setQrScript({{false, -4}});
        setMessagePresenter([this](const std::string& text) {
            std::lock_guard lock(mutex_);
            messages_.push_back(localToUtf8(text));
        });
        core_ = windowCore();
        main_ = new MainWindow(core_);
        main_->show();
    }

    void TearDown() override {
        delete login_.data();
        joinQrLoginWorkers();
        QTest::qWait(20);
        delete MainWindow::instance();
        setMessagePresenter(nullptr);
    }

    // A login window as the main window opens it, with a short poll interval.
    LoginWindow* openLogin() {
        login_ = new LoginWindow(core_, 40ms);
        login_->show();
        main_->hide();
        return login_;
    }

    std::vector<std::string> messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }

    static std::vector<devsite::RecordedRequest> polls() {
        return site().requestsTo("/qrcode/getLoginInfo");
    }
    static std::size_t pollsWithKey(const std::string& key) {
        std::size_t count = 0;
        for (const auto& poll : polls()) {
            if (poll.body.rfind("oauthKey=" + key + "&", 0) == 0) ++count;
        }
        return count;
    }
    static std::string status(LoginWindow* window) {
        return window->qrStatus()->text().toStdString();
    }
    static std::string userName() { return localToUtf8(sharedState().user.get().name); }

    std::shared_ptr<DownloadCore> core_;
    QPointer<MainWindow> main_;
    QPointer<LoginWindow> login_;

  private:
    std::mutex mutex_;
    std::vector<std::string> messages_;
};

TEST_F(LoginWindowTest, ClosingAfterTheMainWindowWentOpensItAnewOnTheSameCore) {
    openLogin();
    delete main_.data();
    login_->close();  // deletes itself
    QTest::qWait(20);
    MainWindow* anew = MainWindow::instance();
    ASSERT_NE(anew, nullptr);
    EXPECT_TRUE(anew->isVisible());
}

TEST_F(LoginWindowTest, OpensFromTheMenuWithItsPagesAndControlsAndClosesBackToTheMain) {
    main_->openLoginWindow();
    QPointer<LoginWindow> window;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<LoginWindow*>(widget)) window = found;
    }
    ASSERT_TRUE(window);
    login_ = window;
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(main_->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quivra_登录窗口"));
    EXPECT_EQ(window->pos(), QPoint(50, 50));

    QTabWidget* tabs = window->findChild<QTabWidget*>(QStringLiteral("选择夹_login"));
    ASSERT_EQ(tabs, window->tabs());
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("账号密码登录"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("扫码登录(推荐)"));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("Cookie登录"));
    EXPECT_EQ(tabs->tabText(3), QStringLiteral("从浏览器导入"));
    EXPECT_EQ(tabs->currentIndex(), 0);
    for (const char* name : {"编辑框_one_用户名", "编辑框_one_密码"}) {
        EXPECT_NE(window->findChild<QLineEdit*>(QString::fromUtf8(name)), nullptr) << name;
    }
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("透明标签2"))->text(),
              QStringLiteral("密  码："));
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("图片框_two_loginQrCode"))->geometry(),
              QRect(72, 24, 144, 144));
    EXPECT_EQ(window->qrStatus()->objectName(), QStringLiteral("透明标签_two_status"));
    EXPECT_EQ(status(window), "正在生成登录二维码");
    EXPECT_EQ(window->findChild<QPlainTextEdit*>(QStringLiteral("编辑框_three_cookie")),
              window->cookieEdit());
    EXPECT_EQ(window->findChild<QPushButton*>(QStringLiteral("按钮_three_login"))->text(),
              QStringLiteral("登录"));

    // The account-and-password way does nothing.
    QPushButton* closed = window->findChild<QPushButton*>(QStringLiteral("按钮_one_登录"));
    EXPECT_EQ(closed->text(), QStringLiteral("登录(未开放)"));
    QTest::mouseClick(closed, Qt::LeftButton);
    QTest::qWait(50);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(site().requests().empty());

    // Closed at once: no QR worker ever ran, the main window is back, nothing to parse.
    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 2000));
    EXPECT_TRUE(main_->isVisible());
    QTest::qWait(100);
    EXPECT_TRUE(site().requests().empty());
}

TEST_F(LoginWindowTest, ClosingParsesTheMainWindowsAddressAgain) {
    main_->setVideoUrl(QString::fromUtf8(devsite::kOnePartBvid));
    LoginWindow* window = openLogin();
    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return login_.isNull(); }, 2000));
    EXPECT_TRUE(main_->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return main_->list()->topLevelItemCount() == 1; }, 10000));
    EXPECT_FALSE(site().requestsTo("/x/web-interface/view").empty());
}

TEST_F(LoginWindowTest, EverySelectionOfTheQrPageStartsANewCodeAndOnlyItIsPolled) {
    LoginWindow* window = openLogin();
    window->tabs()->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return status(window) == "等待扫描二维码"; }, 5000));
    EXPECT_FALSE(window->qrPictureData().empty());
    EXPECT_FALSE(window->qrPicture()->pixmap().isNull());
    const std::string firstKey = site().lastQrKey();

    // Leaving the page keeps the worker polling.
    window->tabs()->setCurrentIndex(2);
    const std::size_t before = pollsWithKey(firstKey);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pollsWithKey(firstKey) > before; }, 5000));

    window->tabs()->setCurrentIndex(1);
    EXPECT_EQ(status(window), "正在生成登录二维码");
    EXPECT_TRUE(window->qrPictureData().empty());
    const std::size_t firstPolls = pollsWithKey(firstKey);
    ASSERT_TRUE(QTest::qWaitFor([&] { return site().lastQrKey() != firstKey; }, 5000));
    const std::string secondKey = site().lastQrKey();
    EXPECT_TRUE(QTest::qWaitFor([&] { return pollsWithKey(secondKey) >= 4; }, 5000));
    // The old code got at most the request already under way when the new one was asked.
    EXPECT_LE(pollsWithKey(firstKey), firstPolls + 1);
    EXPECT_EQ(site().requestsTo("/qrcode/getLoginUrl").size(), 2u);
    EXPECT_EQ(status(window), "等待扫描二维码");
}

TEST_F(LoginWindowTest, ClosingDuringAPollSendsNothingMoreAndChangesNothing) {
    site().setDelayMs("/qrcode/getLoginInfo", 300);
    LoginWindow* window = openLogin();
    window->tabs()->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !polls().empty(); }, 5000));
    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return login_.isNull(); }, 2000));
    const std::size_t sent = polls().size();
    joinQrLoginWorkers();
    QTest::qWait(200);
    EXPECT_EQ(polls().size(), sent);
    EXPECT_TRUE(main_->isVisible());
    EXPECT_TRUE(messages().empty());
}

TEST_F(LoginWindowTest, ConfirmedQrCodeLogsInWelcomesTheUserAndCloses) {
    site().setQrScript({{false, -4}, {false, -5}, {true, 0}});
    LoginWindow* window = openLogin();
    window->tabs()->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return login_.isNull(); }, 10000));
    ASSERT_FALSE(userName().empty());
    EXPECT_EQ(messages(), std::vector<std::string>{"登录成功，欢迎您：" + userName()});
    EXPECT_NE(readConfigItem(configPath(), "user", "cookie").find(devsite::kMemberCookie),
              std::string::npos);
    EXPECT_TRUE(main_->isVisible());
}

TEST_F(LoginWindowTest, MemberCookieLogsInWhileAQrCodeIsPolledAndStopsIt) {
    LoginWindow* window = openLogin();
    window->tabs()->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return status(window) == "等待扫描二维码"; }, 5000));
    window->tabs()->setCurrentIndex(2);
    window->cookieEdit()->setPlainText(QString::fromUtf8(devsite::kMemberCookie));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    QTest::mouseClick(window->cookieLoginButton(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return login_.isNull(); }, 2000));
    const std::string printed =
        testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed.find("member-sessdata"), std::string::npos);

    ASSERT_FALSE(userName().empty());
    EXPECT_EQ(messages(), std::vector<std::string>{"登录成功，欢迎您：" + userName()});
    EXPECT_EQ(readConfigItem(configPath(), "user", "cookie"), devsite::kMemberCookie);
    EXPECT_EQ(readConfigItem(configPath(), "user", "vip.status"), "1");
    const auto nav = site().requestsTo("/x/web-interface/nav");
    ASSERT_EQ(nav.size(), 1u);
    EXPECT_EQ(nav[0].header("Cookie"), devsite::kMemberCookie);
    EXPECT_TRUE(main_->isVisible());

    // The closing stopped the QR worker: no poll follows the one possibly under way.
    const std::size_t sent = polls().size();
    joinQrLoginWorkers();
    QTest::qWait(150);
    EXPECT_LE(polls().size(), sent + 1);
}

TEST_F(LoginWindowTest, RefusedOrEmptyCookieShowsTheSitesReasonAndKeepsTheWindow) {
    LoginWindow* window = openLogin();
    window->tabs()->setCurrentIndex(2);
    window->cookieEdit()->setPlainText(QStringLiteral("SESSDATA=nobody"));
    QTest::mouseClick(window->cookieLoginButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->cookieLoginButton()->isEnabled(); }, 5000));
    ASSERT_FALSE(login_.isNull());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->cookieEdit()->toPlainText(), QStringLiteral("SESSDATA=nobody"));
    EXPECT_EQ(messages(), std::vector<std::string>{"登录失败，原因：账号未登录"});

    window->cookieEdit()->clear();
    QTest::mouseClick(window->cookieLoginButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->cookieLoginButton()->isEnabled(); }, 5000));
    ASSERT_FALSE(login_.isNull());
    EXPECT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages().back(), "登录失败，原因：账号未登录");
    const auto nav = site().requestsTo("/x/web-interface/nav");
    ASSERT_EQ(nav.size(), 2u);
    EXPECT_EQ(nav[1].header("Cookie"), "");
    EXPECT_FALSE(findConfigItem(configPath(), "user", "cookie").has_value());
    EXPECT_FALSE(main_->isVisible());
}

// Enter pressed in the box, or a pasted cookie ending in a line break, must still log in.
TEST_F(LoginWindowTest, PastedCookieWithLineBreaksLogsIn) {
    LoginWindow* window = openLogin();
    window->tabs()->setCurrentIndex(2);
    window->cookieEdit()->setPlainText(QStringLiteral("lang=zh;\n SESSDATA=member-sessdata\n"));
    QTest::mouseClick(window->cookieLoginButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return login_.isNull(); }, 5000)) << messages().size();
    EXPECT_EQ(readConfigItem(configPath(), "user", "cookie"),
              std::string("lang=zh; ") + devsite::kMemberCookie);
}

// A slow account answer must neither freeze the window nor swallow a close.
TEST_F(LoginWindowTest, SlowCookieLoginKeepsTheWindowResponsiveAndClosable) {
    site().setDelayMs("/x/web-interface/nav", 1500, 1);
    LoginWindow* window = openLogin();
    window->tabs()->setCurrentIndex(2);
    window->cookieEdit()->setPlainText(QString::fromUtf8(devsite::kMemberCookie));
    QTest::mouseClick(window->cookieLoginButton(), Qt::LeftButton);
    // The click came back before the answer: the button waits, nothing is shown yet.
    EXPECT_FALSE(window->cookieLoginButton()->isEnabled());
    EXPECT_TRUE(messages().empty());

    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return login_.isNull(); }, 1000));
    EXPECT_TRUE(main_->isVisible());
    // The late answer is stored but shows nothing: its window is gone.
    EXPECT_TRUE(QTest::qWaitFor([] { return !userName().empty(); }, 10000));
    QTest::qWait(100);
    EXPECT_TRUE(messages().empty());
}

}  // namespace
}  // namespace quivra

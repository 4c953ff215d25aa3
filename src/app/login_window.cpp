#include "app/login_window.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>

#include <functional>
#include <memory>
#include <system_error>
#include <thread>

#include "account/browser/browser_login.h"
#include "account/user_info.h"
#include "app/controls_window.h"
#include "app/main_window.h"
#include "base/gui_thread.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "net/cookies.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

// The controls of a page and, below and to the right of them, the margin they keep at the
// left.
QSize roomForControls(const QWidget* page) {
    constexpr int kMargin = 8;
    QRect controls;
    for (const QWidget* control : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        controls |= control->geometry();
    }
    return {controls.right() + 1 + kMargin, controls.bottom() + 1 + kMargin};
}

// The QR worker's effects on one login window, handed to the GUI thread. A stopped
// worker, or a window that is gone, changes nothing.
class WindowQrView : public QrLoginView {
  public:
    WindowQrView(LoginWindow* window, std::shared_ptr<CancelToken> token)
        : window_(window), token_(std::move(token)) {}

    void setStatus(const std::string& text) override {
        const QString shown = toQString(text);
        onGui([shown](LoginWindow& window) { window.qrStatus()->setText(shown); });
    }
    void setPicture(const std::string& bmp) override {
        onGui([&bmp](LoginWindow& window) { window.setQrPictureData(bmp); });
    }
    std::string picture() override {
        std::string shown;
        onGui([&shown](LoginWindow& window) { shown = window.qrPictureData(); });
        return shown;
    }
    void showMessage(const std::string& text) override {
        if (!token_->cancelled()) showMessageBox(text);
    }
    void closeWindow() override {
        onGui([](LoginWindow& window) { window.close(); });
    }

  private:
    template <class Fn>
    void onGui(Fn fn) {
        if (token_->cancelled()) return;
        callOnGui([this, &fn] {
            if (token_->cancelled() || window_.isNull()) return;
            fn(*window_);
        });
    }

    QPointer<LoginWindow> window_;  // read on the GUI thread only
    std::shared_ptr<CancelToken> token_;
};

// On the cookie login's thread, with the cookie as pasted or as read from a browser (which
// may wait for the secret service or for a store the browser holds). A window closed
// meanwhile is left alone: an accepted account is still stored, but nothing is shown.
void runCookieLogin(const std::function<BrowserCookies()>& obtain, QPointer<LoginWindow> window) {
    const BrowserCookies found = obtain();
    std::string cookie = tidyPastedCookie(found.cookie);
    const bool accepted = found.failure.empty() && fetchUserInfo(cookie);
    bool open = false;
    callOnGui([&] { open = !window.isNull(); });
    if (!open) return;
    const UserRecord user = sharedState().user.get();
    showMessageBox(!found.failure.empty() ? found.failure
                   : accepted             ? localText("登录成功，欢迎您：") + user.name
                              : localText("登录失败，原因：") + user.failureMessage);
    callOnGui([&] {
        if (window.isNull()) return;
        if (accepted) {
            window->close();
        } else {
            window->enableLogins(true);
        }
    });
}

}  // namespace

LoginWindow::LoginWindow(std::shared_ptr<DownloadCore> core,
                         std::chrono::milliseconds qrPollInterval, QWidget* parent)
    : QWidget(parent, Qt::Window), core_(std::move(core)), qrPollInterval_(qrPollInterval) {
    setObjectName(QStringLiteral("LoginWindow"));
    // Closing always ends in the closing behaviour of the destructor.
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Quivra_登录窗口"));
    move(50, 50);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("选择夹_login"));
    auto* accountPage = new QWidget;
    auto* qrPage = new QWidget;
    auto* cookiePage = new QWidget;
    auto* browserPage = new QWidget;
    buildAccountPage(accountPage);
    buildQrPage(qrPage);
    buildCookiePage(cookiePage);
    buildBrowserPage(browserPage);
    tabs_->addTab(accountPage, QStringLiteral("账号密码登录"));
    tabs_->addTab(qrPage, QStringLiteral("扫码登录(推荐)"));
    tabs_->addTab(cookiePage, QStringLiteral("Cookie登录"));
    tabs_->addTab(browserPage, QStringLiteral("从浏览器导入"));
    tabs_->setCurrentIndex(0);
    fitToPages();

    connect(tabs_, &QTabWidget::currentChanged, this, &LoginWindow::onPageChanged);
    connect(cookieLogin_, &QPushButton::clicked, this, &LoginWindow::loginWithCookie);
    // 按钮_one_登录 has no handler: the account-and-password way is not available.
}

LoginWindow::~LoginWindow() {
    stopQrLoginWorker();
    MainWindow::showMainWindow(core_);
    MainWindow* main = MainWindow::instance();
    if (main != nullptr && !main->videoUrl().isEmpty()) main->startParse();
}

// Each page keeps room for its controls; the tab control fills the window, which is
// 292 x 236 unless the tab bar of the font in use needs more height than that leaves.
void LoginWindow::fitToPages() {
    for (int index = 0; index < tabs_->count(); ++index) {
        QWidget* page = tabs_->widget(index);
        page->setMinimumSize(roomForControls(page));
    }
    ensurePolished();  // the skin's font sets the height of the tab bar
    setFixedSize(tabs_->minimumSizeHint().expandedTo(tabs_->sizeHint()).expandedTo({292, 236}));
    tabs_->setGeometry(rect());
}

void LoginWindow::buildAccountPage(QWidget* page) {
    newLabel(page, "透明标签1", QStringLiteral("用户名："), {64, 64, 48, 24});
    auto* user = new QLineEdit(page);
    user->setObjectName(QStringLiteral("编辑框_one_用户名"));
    user->setGeometry(112, 64, 112, 24);
    newLabel(page, "透明标签2", QStringLiteral("密  码："), {64, 96, 48, 24});
    auto* password = new QLineEdit(page);
    password->setObjectName(QStringLiteral("编辑框_one_密码"));
    password->setGeometry(112, 96, 112, 24);
    accountLogin_ =
        newButton(page, "按钮_one_登录", QStringLiteral("登录(未开放)"), {104, 128, 80, 32});
}

void LoginWindow::buildQrPage(QWidget* page) {
    qrPicture_ = new QLabel(page);
    qrPicture_->setObjectName(QStringLiteral("图片框_two_loginQrCode"));
    qrPicture_->setGeometry(72, 24, 144, 144);
    qrPicture_->setScaledContents(true);
    qrStatus_ = newLabel(page, "透明标签_two_status", QStringLiteral("正在生成登录二维码"),
                         {72, 168, 144, 32});
    // The status reads right under the picture.
    qrStatus_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
}

void LoginWindow::buildCookiePage(QWidget* page) {
    newLabel(page, "透明标签3", QStringLiteral("cookie(仅需SESSDATA)："), {8, 24, 152, 24});
    cookie_ = new QPlainTextEdit(page);
    cookie_->setObjectName(QStringLiteral("编辑框_three_cookie"));
    cookie_->setGeometry(8, 48, 272, 112);
    cookieLogin_ = newButton(page, "按钮_three_login", QStringLiteral("登录"), {200, 168, 80, 32});
}

void LoginWindow::buildBrowserPage(QWidget* page) {
    auto* note = newLabel(page, "透明标签4",
                          QStringLiteral("读取浏览器中本站的登录Cookie（不读取其他网站的）："),
                          {8, 24, 272, 48});
    note->setWordWrap(true);
    firefoxLogin_ =
        newButton(page, "按钮_four_firefox", QStringLiteral("从Firefox导入"), {8, 88, 128, 32});
    chromiumLogin_ =
        newButton(page, "按钮_four_chromium", QStringLiteral("从Chromium导入"), {152, 88, 128, 32});
    connect(firefoxLogin_, &QPushButton::clicked, this,
            [this] { loginFromBrowser(Browser::Firefox); });
    connect(chromiumLogin_, &QPushButton::clicked, this,
            [this] { loginFromBrowser(Browser::Chromium); });
}

void LoginWindow::setQrPictureData(const std::string& bmp) {
    QPixmap pixmap;
    if (bmp.empty() || !pixmap.loadFromData(reinterpret_cast<const uchar*>(bmp.data()),
                                            static_cast<uint>(bmp.size()), "BMP")) {
        qrPicture_->clear();
        qrPictureData_.clear();
        return;
    }
    qrPicture_->setPixmap(pixmap);
    qrPictureData_ = bmp;
}

void LoginWindow::onPageChanged(int index) {
    if (index == 1) restartQrLogin();
}

void LoginWindow::restartQrLogin() {
    stopQrLoginWorker();
    setQrPictureData({});
    qrStatus_->setText(QStringLiteral("正在生成登录二维码"));
    auto token = std::make_shared<CancelToken>();
    startQrLoginWorker(token, std::make_shared<WindowQrView>(this, token), qrPollInterval_);
}

// The account request may take up to two minutes: it runs on a thread of its own, so the
// window stays responsive and can be closed meanwhile.
void LoginWindow::loginWithCookie() {
    startCookieLogin([cookie = utf8ToLocalText(cookie_->toPlainText().toStdString())] {
        return BrowserCookies{cookie, {}};
    });
}

void LoginWindow::loginFromBrowser(Browser browser) {
    startCookieLogin(
        [browser, home = QDir::homePath().toStdString(), site = sharedState().site.main] {
            return readBrowserLogin(browser, home, site);
        });
}

void LoginWindow::enableLogins(bool enabled) {
    for (QPushButton* button : {cookieLogin_, firefoxLogin_, chromiumLogin_}) {
        button->setEnabled(enabled);
    }
}

void LoginWindow::startCookieLogin(std::function<BrowserCookies()> obtain) {
    enableLogins(false);
    try {
        std::thread(runCookieLogin, std::move(obtain), QPointer<LoginWindow>(this)).detach();
    } catch (const std::system_error&) {
        enableLogins(true);  // no thread: the click has no effect
    }
}

}  // namespace quivra

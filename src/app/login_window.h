// The login window: account and password (not available), QR code, a pasted cookie and
// the cookie of a browser's profile, on four pages of one tab control.
#pragma once

#include <QWidget>

#include <chrono>
#include <functional>
#include <string>

#include "account/browser/browser_login.h"
#include "account/qr_login.h"
#include "download/download_core.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace quivra {

class LoginWindow : public QWidget {
    Q_OBJECT

  public:
    explicit LoginWindow(std::shared_ptr<DownloadCore> core,
                         std::chrono::milliseconds qrPollInterval = kQrPollInterval,
                         QWidget* parent = nullptr);
    // Deleted when closed. Closing behaviour: stops the QR worker, shows the main window again and
    // parses its address anew when it holds one.
    ~LoginWindow() override;

    QTabWidget* tabs() const { return tabs_; }
    QPushButton* accountLoginButton() const { return accountLogin_; }
    QLabel* qrPicture() const { return qrPicture_; }
    QLabel* qrStatus() const { return qrStatus_; }
    QPlainTextEdit* cookieEdit() const { return cookie_; }
    QPushButton* cookieLoginButton() const { return cookieLogin_; }
    QPushButton* firefoxLoginButton() const { return firefoxLogin_; }
    QPushButton* chromiumLoginButton() const { return chromiumLogin_; }

    // The BMP shown in the QR picture box; "" when it is empty.
    std::string qrPictureData() const { return qrPictureData_; }
    void setQrPictureData(const std::string& bmp);

  public slots:
    void restartQrLogin();
    void loginWithCookie();
    // 从浏览器导入: the site's cookie from the browser's profile, then as loginWithCookie.
    void loginFromBrowser(Browser browser);
    // The cookie and browser buttons wait while a login runs.
    void enableLogins(bool enabled);

  private:
    const std::shared_ptr<DownloadCore> core_;
    void fitToPages();
    void buildAccountPage(QWidget* page);
    void buildQrPage(QWidget* page);
    void buildCookiePage(QWidget* page);
    void buildBrowserPage(QWidget* page);
    void startCookieLogin(std::function<BrowserCookies()> obtain);
    void onPageChanged(int index);

    std::chrono::milliseconds qrPollInterval_;
    QTabWidget* tabs_ = nullptr;
    QPushButton* accountLogin_ = nullptr;
    QLabel* qrPicture_ = nullptr;
    QLabel* qrStatus_ = nullptr;
    QPlainTextEdit* cookie_ = nullptr;
    QPushButton* cookieLogin_ = nullptr;
    QPushButton* firefoxLogin_ = nullptr;
    QPushButton* chromiumLogin_ = nullptr;
    std::string qrPictureData_;
};

}  // namespace quivra

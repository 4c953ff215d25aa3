// The login window: account and password (not available), QR code, and a pasted cookie,
// on three pages of one tab control.
#pragma once

#include <QWidget>

#include <chrono>
#include <string>

#include "account/qr_login.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace quivra {

class LoginWindow : public QWidget {
    Q_OBJECT

  public:
    explicit LoginWindow(std::chrono::milliseconds qrPollInterval = kQrPollInterval,
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

    // The BMP shown in the QR picture box; "" when it is empty.
    std::string qrPictureData() const { return qrPictureData_; }
    void setQrPictureData(const std::string& bmp);

  public slots:
    void restartQrLogin();
    void loginWithCookie();

  private:
    void fitToPages();
    void buildAccountPage(QWidget* page);
    void buildQrPage(QWidget* page);
    void buildCookiePage(QWidget* page);
    void onPageChanged(int index);

    std::chrono::milliseconds qrPollInterval_;
    QTabWidget* tabs_ = nullptr;
    QPushButton* accountLogin_ = nullptr;
    QLabel* qrPicture_ = nullptr;
    QLabel* qrStatus_ = nullptr;
    QPlainTextEdit* cookie_ = nullptr;
    QPushButton* cookieLogin_ = nullptr;
    std::string qrPictureData_;
};

}  // namespace quivra

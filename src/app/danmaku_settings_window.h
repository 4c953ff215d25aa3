// 弹幕设置: how the bullet comments' ASS looks and which comments it leaves out. Opened by
// the settings window's 弹幕设置… button; every control stores its [download] key as it
// changes, as the settings window's own do.
#pragma once

#include <QWidget>

#include <memory>

#include "download/download_core.h"

class QComboBox;
class QFontComboBox;
class QLabel;
class QPlainTextEdit;

namespace quivra {

class DanmakuSettingsWindow : public QWidget {
    Q_OBJECT

  public:
    // The owner's one 弹幕设置 window, opened or brought to the front.
    static DanmakuSettingsWindow* showFor(std::shared_ptr<DownloadCore> core, QWidget* owner);

    DanmakuSettingsWindow(std::shared_ptr<DownloadCore> core, QWidget* owner);
    ~DanmakuSettingsWindow() override;  // keeps the 字体 and 屏蔽词 typed last

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showStored();
    void showArea(int percent);
    void storeTyped();
    void storeFont(const QString& typed);
    void storeBlocklist();
    void showBlocklistProblems();

    const std::shared_ptr<DownloadCore> core_;
    QFontComboBox* font_ = nullptr;
    QComboBox* area_ = nullptr;
    QPlainTextEdit* blocklist_ = nullptr;
    QLabel* problems_ = nullptr;
};

}  // namespace quivra

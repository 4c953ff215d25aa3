// The main window: address box, parse button, quality choices, the list of parts with
// a check box per row, the download buttons and the menus that open the other windows.
#pragma once

#include <QMainWindow>
#include <QString>

#include <memory>

#include "download/download_core.h"
#include "download/download_view.h"
#include "download/list/download_queue.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;

namespace quivra {

// Closing the main window (and 退出 of the tray menu) ends the program at once through
// stopDownloadCore, without waiting for the workers; they may still run, so no static
// destructors run after.
[[noreturn]] void endProgram(DownloadCore& core);

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    // Column indexes of 超级列表框_list: those the download jobs read.
    using enum DownloadView::Column;

    // Builds the window, starts the thread pool (once per program) and sets the title.
    explicit MainWindow(std::shared_ptr<DownloadCore> core, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The open main window, or nullptr.
    static MainWindow* instance();
    // Shows the main window again after a child window closed; opens a new one at
    // (50, 50) when none exists.
    static void showMainWindow(const std::shared_ptr<DownloadCore>& core);

    void reappear();
    QString videoUrl() const;
    void setVideoUrl(const QString& url);
    // Same as clicking 按钮_parse: parses the address box on a new thread. Parses run one
    // after the other; a parse asked for while one runs starts when it ends. An address of
    // a whole list opens a 视频列表 window for it instead.
    void startParse();

    QTreeWidget* list() const { return list_; }
    QComboBox* videoQualityBox() const { return videoQuality_; }
    QComboBox* audioQualityBox() const { return audioQuality_; }
    QLabel* videoNumberLabel() const { return videoNumber_; }
    QPushButton* parseButton() const { return parseButton_; }
    QLineEdit* videoUrlEdit() const { return videoUrl_; }
    QMenu* contextMenu() const { return contextMenu_; }

    // The parse whose rows the list shows: null while a parse runs, then its result.
    std::shared_ptr<const ParseResult> shownParse() const { return shownParse_; }
    void setShownParse(std::shared_ptr<const ParseResult> parsed) {
        shownParse_ = std::move(parsed);
    }

  public slots:
    // The four commands of the context menu 菜单.
    void checkSelectedRows();
    void checkAllRows();
    void invertChecks();
    void uncheckAllRows();

    void onVideoQualitySelected();
    void onDownloadAll();
    void onDownloadSelected();

    void openLoginWindow();
    void openSearchWindow();
    void openSettingsWindow();
    void openDownloadListWindow();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    void startThreadPool();
    void showListMenu(const QPoint& pos);

    QLineEdit* videoUrl_ = nullptr;
    QPushButton* parseButton_ = nullptr;
    QGroupBox* group_ = nullptr;
    QComboBox* videoQuality_ = nullptr;
    QComboBox* audioQuality_ = nullptr;
    QLabel* videoNumber_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QPushButton* downloadAll_ = nullptr;
    QPushButton* downloadSelected_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    std::shared_ptr<const ParseResult> shownParse_;

    // The queue the buttons submit to, and the listener that shows its items in the rows.
    const std::shared_ptr<DownloadCore> core_;
    const std::shared_ptr<DownloadQueue> queue_;
    std::shared_ptr<DownloadQueueListener> rowStates_;
};

}  // namespace quivra

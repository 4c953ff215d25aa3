// The download list window (其他功能 > 下载列表): every part of every video in one table,
// newest first, with a progress bar, a context menu to pause, resume, cancel, retry,
// open, play and remove, and a line with the counts and the total speed.
#pragma once

#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

#include "app/download_list_model.h"
#include "download/download_core.h"
#include "download/list/download_queue.h"

class QAction;
class QLabel;
class QMenu;
class QTableView;

namespace quivra {

class DownloadListWindow : public QWidget {
    Q_OBJECT

  public:
    // Opens the window over the queue, or raises the one already open.
    static DownloadListWindow* showFor(std::shared_ptr<DownloadCore> core);

    explicit DownloadListWindow(std::shared_ptr<DownloadCore> core, QWidget* parent = nullptr);
    ~DownloadListWindow() override;

    QTableView* table() const { return table_; }
    DownloadListModel* model() const { return model_; }
    QLabel* summaryLabel() const { return summary_; }
    QMenu* contextMenu() const { return contextMenu_; }

    // Enables the menu's commands for the selected rows, as before it pops up.
    void prepareMenu();

  public slots:
    void pauseSelected();
    void resumeSelected();
    void cancelSelected();
    void retrySelected();
    void openFolderOfSelected();
    void playSelected();
    void removeSelected();

  protected:
    void closeEvent(QCloseEvent* event) override;  // keeps its place and size

  private:
    void showMenu(const QPoint& pos);
    void updateSummary();
    std::vector<DownloadListModel::Row> selectedItems() const;
    std::vector<std::int64_t> selectedIds(bool (*wanted)(ItemState)) const;
    std::vector<std::string> selectedOutputPaths(bool (*wanted)(ItemState)) const;

    std::shared_ptr<DownloadCore> core_;
    std::shared_ptr<DownloadQueue> queue_;
    std::shared_ptr<DownloadQueueListener> listener_;
    DownloadListModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* summary_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QAction* pause_ = nullptr;
    QAction* resume_ = nullptr;
    QAction* cancel_ = nullptr;
    QAction* retry_ = nullptr;
    QAction* openFolder_ = nullptr;
    QAction* play_ = nullptr;
    QAction* remove_ = nullptr;
};

}  // namespace quivra

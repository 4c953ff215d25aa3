// The 视频列表 window: the videos of a whole list (an uploader's, a favourites folder, a
// collection, a series, watch later, a season), listed page by page on a thread of its
// own; the user picks rows by hand, 全选, 反选, date and title, and 下载选中 queues every
// part of each picked video into a folder named after the list.
#pragma once

#include <QWidget>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/video_list_model.h"
#include "download/download_core.h"
#include "video/listing/list_address.h"
#include "video/listing/video_listing.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace quivra {

class BatchRun;

class VideoListWindow : public QWidget {
    Q_OBJECT

  public:
    // Opens a window that starts listing the address at once; it deletes itself when closed.
    static VideoListWindow* open(std::shared_ptr<DownloadCore> core, const ListAddress& address);

    VideoListWindow(std::shared_ptr<DownloadCore> core, const ListAddress& address,
                    QWidget* parent = nullptr);
    // Stops the listing and lets the download run go on with the videos being parsed;
    // never waits for either.
    ~VideoListWindow() override;

    QLabel* headerLabel() const { return header_; }
    QLabel* statusLabel() const { return status_; }
    QPushButton* stopButton() const { return stop_; }
    QTableView* table() const { return table_; }
    VideoListModel* model() const { return model_; }
    QPushButton* selectAllButton() const { return selectAll_; }
    QPushButton* invertButton() const { return invert_; }
    QCheckBox* sinceBox() const { return sinceBox_; }
    QDateEdit* sinceDate() const { return since_; }
    QCheckBox* untilBox() const { return untilBox_; }
    QDateEdit* untilDate() const { return until_; }
    QLineEdit* matchEdit() const { return match_; }
    QPushButton* selectMatchingButton() const { return selectMatching_; }
    QPushButton* downloadButton() const { return download_; }
    // True until the listing has ended (read it all, failed or was stopped).
    bool isListing() const { return listing_; }

    // What the listing's thread hands over, on the GUI thread.
    void showListInfo(const ListInfo& info);
    void showRows(std::vector<VideoListModel::Row> rows);
    void showWaiting(const QString& text);
    void listingEnded(const ListingResult& result);
    // What the download run hands over: the 状态 of a row, and its end.
    void showDownloadState(size_t row, const QString& text);
    void downloadEnded();

  public slots:
    void stopListing();
    void selectAll();
    void invertSelection();
    // Checks the rows that the date range and the title filter take, and only those.
    void selectMatching();
    // Starts the downloads of the checked rows at the default qualities.
    void downloadSelected();

  private:
    void buildControls();
    void showCount();

    const std::shared_ptr<DownloadCore> core_;
    ListInfo info_;
    bool listing_ = true;
    std::string reason_;  // why the listing ended early (local text)
    std::shared_ptr<std::atomic<bool>> stopFlag_ = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<BatchRun> run_;  // the download run going on, or nullptr

    QLabel* header_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* stop_ = nullptr;
    VideoListModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QPushButton* selectAll_ = nullptr;
    QPushButton* invert_ = nullptr;
    QCheckBox* sinceBox_ = nullptr;
    QDateEdit* since_ = nullptr;
    QCheckBox* untilBox_ = nullptr;
    QDateEdit* until_ = nullptr;
    QLineEdit* match_ = nullptr;
    QPushButton* selectMatching_ = nullptr;
    QComboBox* content_ = nullptr;  // 下载内容 of the parts it starts
    QPushButton* download_ = nullptr;
};

}  // namespace quivra

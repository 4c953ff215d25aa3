// The search window: a keyword, the hits of one page in a list, paging and a context
// menu that opens a hit in the browser or hands it to the main window.
#pragma once

#include <QWidget>

#include <vector>

#include "download/download_core.h"
#include "search/search_request.h"

class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QTreeWidget;

namespace quivra {

class SearchWindow : public QWidget {
    Q_OBJECT

  public:
    // Column indexes of 超级列表框_videoData.
    enum Column {
        NumberColumn = 0,
        TitleColumn = 1,
        AuthorColumn = 2,
        DurationColumn = 3,
        PubdateColumn = 4,
        PlayColumn = 5,
        VideoReviewColumn = 6,
        ReviewColumn = 7,
        FavoritesColumn = 8,
        BvidColumn = 9,
        MidColumn = 10,
        PicColumn = 11,
        ColumnCount = 12
    };

    explicit SearchWindow(std::shared_ptr<DownloadCore> core, QWidget* parent = nullptr);
    // Deleted when closed; shows the main window again.
    ~SearchWindow() override;

    QLineEdit* keywordEdit() const { return keyword_; }
    QPushButton* searchButton() const { return searchButton_; }
    QLineEdit* pageNumEdit() const { return pageNum_; }
    QPushButton* jumpButton() const { return jumpButton_; }
    QLabel* messageLabel() const { return message_; }
    QTreeWidget* list() const { return list_; }
    QMenu* contextMenu() const { return contextMenu_; }

    // Puts one accepted page on screen as a whole: rows, label and page box.
    void showPage(const SearchState& answered, const std::vector<SearchHit>& hits);

  public slots:
    // Starts a search worker for page with the keyword box's content.
    void search(int page);
    void jumpToPage();
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void watchVideo();
    void openAuthorPage();
    void parseVideo();
    // 下载此视频 / 下载选中的视频: every part of the hit(s), through the batch window.
    void downloadVideo();
    void downloadSelectedVideos();

  private:
    const std::shared_ptr<DownloadCore> core_;
    void buildControls();
    void buildMenu();
    void addDownloadItems();
    void downloadBvids(const QStringList& bvids);
    void showListMenu(const QPoint& pos);
    QString selectedCell(int column) const;

    QLineEdit* keyword_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QLineEdit* pageNum_ = nullptr;
    QPushButton* jumpButton_ = nullptr;
    QLabel* message_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QAction* first_ = nullptr;
    QAction* previous_ = nullptr;
    QAction* next_ = nullptr;
    QAction* last_ = nullptr;
};

}  // namespace quivra

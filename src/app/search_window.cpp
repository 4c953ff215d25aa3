#include "app/search_window.h"

#include <QAction>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>

#include <memory>

#include "app/controls_window.h"
#include "app/main_window.h"
#include "base/config_file.h"
#include "base/gui_thread.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "net/text_encoding.h"
#include "search/search_worker.h"

namespace quivra {

namespace {

std::string toLocal(const QString& text) {
    return utf8ToLocalText(text.toStdString());
}

// A worker's page reaches the window on the GUI thread in one call, and only when no
// search started later is already on screen; a closed window changes nothing.
class WindowSearchView : public SearchView {
  public:
    explicit WindowSearchView(SearchWindow* window) : window_(window) {}

    void showPage(std::uint64_t ticket, const SearchState& answered,
                  const std::vector<SearchHit>& hits) override {
        callOnGui([&] {
            if (searchState().accept(ticket, answered) && window_) {
                window_->showPage(answered, hits);
            }
        });
    }

    void showMessage(const std::string& text) override { showMessageBox(text); }

  private:
    QPointer<SearchWindow> window_;  // read on the GUI thread only
};

QStringList rowCells(int number, const SearchHit& hit) {
    return {QString::number(number),    toQString(hit.title),   toQString(hit.author),
            toQString(hit.duration),    toQString(hit.pubdate), toQString(hit.play),
            toQString(hit.videoReview), toQString(hit.review),  toQString(hit.favorites),
            toQString(hit.bvid),        toQString(hit.mid),     toQString(hit.pic)};
}

}  // namespace

SearchWindow::SearchWindow(std::shared_ptr<DownloadCore> core, QWidget* parent)
    : QWidget(parent, Qt::Window), core_(std::move(core)) {
    setObjectName(QStringLiteral("SearchWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("搜索窗口"));
    setFixedSize(980, 436);
    move(50, 50);
    buildControls();
    buildMenu();
}

SearchWindow::~SearchWindow() {
    MainWindow::showMainWindow(core_);
}

void SearchWindow::buildControls() {
    newLabel(this, "透明标签1", QStringLiteral("关键字："), {8, 8, 88, 32});
    keyword_ = newEdit(this, "编辑框_keyword", {56, 8, 176, 32});
    searchButton_ = newButton(this, "按钮_搜索", QStringLiteral("搜索"), {240, 8, 72, 32});
    newLabel(this, "透明标签2", QStringLiteral("页码："), {320, 8, 80, 32});
    pageNum_ = newEdit(this, "编辑框_pageNum", {352, 8, 40, 32});
    jumpButton_ = newButton(this, "按钮_jumpPageNum", QStringLiteral("跳转"), {400, 8, 56, 32});
    message_ = newLabel(this, "透明标签_message", QString(), {464, 8, 504, 32});

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("超级列表框_videoData"));
    list_->setGeometry(8, 48, 960, 352);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels(
        {QStringLiteral("#"), QStringLiteral("标题"), QStringLiteral("作者"),
         QStringLiteral("时长"), QStringLiteral("发布时间"), QStringLiteral("播放数量"),
         QStringLiteral("弹幕数量"), QStringLiteral("评论数量"), QStringLiteral("收藏数量"),
         QStringLiteral("bvid"), QStringLiteral("作者id"), QStringLiteral("封面地址")});
    list_->header()->setStretchLastSection(false);
    list_->header()->setMinimumSectionSize(0);
    const int widths[ColumnCount] = {25, 400, 100, 60, 130, 60, 60, 60, 60, 0, 0, 0};
    for (int column = 0; column < ColumnCount; ++column) {
        list_->setColumnWidth(column, widths[column]);
    }
    for (int column : {BvidColumn, MidColumn, PicColumn}) list_->setColumnHidden(column, true);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);

    connect(searchButton_, &QPushButton::clicked, this, [this] { search(1); });
    connect(keyword_, &QLineEdit::returnPressed, this, [this] { search(1); });
    connect(jumpButton_, &QPushButton::clicked, this, &SearchWindow::jumpToPage);
    connect(list_, &QWidget::customContextMenuRequested, this, &SearchWindow::showListMenu);
}

void SearchWindow::buildMenu() {
    contextMenu_ = new QMenu(QStringLiteral("超级列表框菜单"), this);
    contextMenu_->setObjectName(QStringLiteral("超级列表框菜单"));
    first_ = contextMenu_->addAction(QStringLiteral("首页"), this, &SearchWindow::firstPage);
    previous_ =
        contextMenu_->addAction(QStringLiteral("上一页"), this, &SearchWindow::previousPage);
    next_ = contextMenu_->addAction(QStringLiteral("下一页"), this, &SearchWindow::nextPage);
    last_ = contextMenu_->addAction(QStringLiteral("尾页"), this, &SearchWindow::lastPage);
    contextMenu_->addSeparator();
    contextMenu_->addAction(QStringLiteral("观看此视频"), this, &SearchWindow::watchVideo);
    contextMenu_->addAction(QStringLiteral("查看作者主页"), this, &SearchWindow::openAuthorPage);
    contextMenu_->addSeparator();
    contextMenu_->addAction(QStringLiteral("解析此视频"), this, &SearchWindow::parseVideo);
    addDownloadItems();
}

void SearchWindow::showPage(const SearchState& answered, const std::vector<SearchHit>& hits) {
    list_->clear();
    message_->setText(toQString(searchPageLabel(answered)));
    pageNum_->setText(QString::number(answered.currentPage));
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(hits.size()));
    for (size_t i = 0; i < hits.size(); ++i) {
        items.append(new QTreeWidgetItem(rowCells(static_cast<int>(i) + 1, hits[i])));
    }
    list_->addTopLevelItems(items);
}

void SearchWindow::search(int page) {
    startSearchWorker(keyword_->text().toStdString(), page,
                      std::make_shared<WindowSearchView>(this));
}

void SearchWindow::jumpToPage() {
    const int page = textToInteger(toLocal(pageNum_->text()));
    if (page > 0 && page <= searchState().get().pageCount) {
        search(page);
        return;
    }
    showMessageBox(localText("您输入的页码无效，请重新输入。"));
    pageNum_->setFocus();
}

void SearchWindow::firstPage() {
    search(1);
}

void SearchWindow::previousPage() {
    search(searchState().get().currentPage - 1);
}

void SearchWindow::nextPage() {
    search(searchState().get().currentPage + 1);
}

void SearchWindow::lastPage() {
    search(searchState().get().pageCount);
}

// Paging items follow the page on screen: nothing before the first page, nothing after
// the last one.
void SearchWindow::showListMenu(const QPoint& pos) {
    if (list_->topLevelItemCount() == 0) return;
    const SearchState state = searchState().get();
    const bool hasPrevious = state.currentPage > 1;
    const bool hasNext = state.currentPage < state.pageCount;
    first_->setEnabled(hasPrevious);
    previous_->setEnabled(hasPrevious);
    next_->setEnabled(hasNext);
    last_->setEnabled(hasNext);
    contextMenu_->popup(list_->viewport()->mapToGlobal(pos));
}

// With several hits selected, the one acted on is the one clicked last.
QString SearchWindow::selectedCell(int column) const {
    QTreeWidgetItem* current = list_->currentItem();
    if (current != nullptr && current->isSelected()) return current->text(column);
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(column);
}

void SearchWindow::watchVideo() {
    const QString bvid = selectedCell(BvidColumn);
    if (bvid.isEmpty()) return;
    QDesktopServices::openUrl(QUrl(toQString(sharedState().site.main) + "/video/" + bvid));
}

void SearchWindow::openAuthorPage() {
    const QString mid = selectedCell(MidColumn);
    if (mid.isEmpty()) return;
    QDesktopServices::openUrl(QUrl(toQString(sharedState().site.space) + "/" + mid));
}

void SearchWindow::parseVideo() {
    const QString bvid = selectedCell(BvidColumn);
    if (bvid.isEmpty()) return;
    MainWindow::showMainWindow(core_);
    MainWindow* main = MainWindow::instance();
    main->setVideoUrl(toQString(sharedState().site.main) + "/video/" + bvid);
    main->startParse();
    close();
}

}  // namespace quivra

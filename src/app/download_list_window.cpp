#include "app/download_list_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <set>

#include "app/download_list_model.h"
#include "app/list_table.h"
#include "app/list_window_placement.h"
#include "app/schedule_switches.h"
#include "app/speed_limit_switch.h"
#include "base/gui_thread.h"
#include "download/job/progress_text.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

QPointer<DownloadListWindow> openList;

// The 进度 cell as a progress bar.
class ProgressDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionProgressBar bar;
        bar.rect = option.rect.adjusted(2, 3, -2, -3);
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = index.data(DownloadListModel::PercentRole).toInt();
        bar.text = index.data(Qt::DisplayRole).toString();
        bar.textVisible = true;
        bar.state = option.state | QStyle::State_Horizontal;
        const QWidget* view = option.widget;
        QStyle* style = view != nullptr ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ProgressBar, &bar, painter, view);
    }
};

// Hands the queue's events to the window on the GUI thread.
class ListListener : public DownloadQueueListener {
  public:
    ListListener(DownloadListModel* model, std::function<void()> changed)
        : model_(model), changed_(std::move(changed)) {}

    void itemChanged(const DownloadItem& item) override {
        postToGui([model = model_, changed = changed_, row = DownloadListModel::rowOf(item)] {
            if (!model) return;
            model->update(row);
            changed();
        });
    }
    void itemRemoved(std::int64_t id) override {
        postToGui([model = model_, changed = changed_, id] {
            if (!model) return;
            model->removeItem(id);
            changed();
        });
    }

  private:
    QPointer<DownloadListModel> model_;
    std::function<void()> changed_;
};

// Widths that show each column's header and its longest text of a fixed form whole;
// 视频/分P takes what it needs of a long title.
void fitColumns(QTableView* table) {
    const QFontMetrics metrics = table->fontMetrics();
    const QString widest[] = {
        QString(),
        QStringLiteral("1080P60 高帧率"),
        QStringLiteral("1023.9 MB"),
        QString(),
        QStringLiteral("1023.9 MB/s"),
        QStringLiteral("99:59:59"),
        QStringLiteral("正在合成音视频"),
        QStringLiteral("2026-12-31 23:59"),
    };
    const int minimums[] = {300, 0, 0, 120, 0, 0, 0, 0};
    // Cell padding and the header's sort indicator room.
    const int padding = 4 * table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 20;
    for (int column = 0; column < DownloadListModel::ColumnCount; ++column) {
        const QString header =
            table->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        const int text =
            std::max(metrics.horizontalAdvance(header), metrics.horizontalAdvance(widest[column]));
        table->setColumnWidth(column, std::max(minimums[column], text + padding));
    }
}

// The window as wide as its columns, the scroll bar and the margins.
int openingWidth(const QTableView* table, const QLayout* layout) {
    int width = 0;
    for (int column = 0; column < DownloadListModel::ColumnCount; ++column) {
        width += table->columnWidth(column);
    }
    const QMargins margins = layout->contentsMargins();
    return width + table->verticalScrollBar()->sizeHint().width() + 2 * table->frameWidth() +
           margins.left() + margins.right();
}

bool any(ItemState) {
    return true;
}

QUrl fileUrl(const std::string& localPath) {
    return QUrl::fromLocalFile(QString::fromStdString(localToUtf8(localPath)));
}

}  // namespace

DownloadListWindow* DownloadListWindow::showFor(std::shared_ptr<DownloadCore> core) {
    if (!openList) {
        openList = new DownloadListWindow(std::move(core));
        openList->setAttribute(Qt::WA_DeleteOnClose);
        placeListWindow(openList);
    }
    openList->show();
    openList->raise();
    openList->activateWindow();
    return openList;
}

DownloadListWindow::DownloadListWindow(std::shared_ptr<DownloadCore> core, QWidget* parent)
    : QWidget(parent, Qt::Window), core_(std::move(core)), queue_(core_->queue) {
    setObjectName(QStringLiteral("DownloadListWindow"));
    setWindowTitle(QStringLiteral("下载列表"));

    model_ = new DownloadListModel(queue_, this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("超级列表框_downloads"));
    table_->setModel(model_);
    setUpListTable(table_);
    fitColumns(table_);
    table_->setItemDelegateForColumn(DownloadListModel::ProgressColumn,
                                     new ProgressDelegate(table_));
    table_->setContextMenuPolicy(Qt::CustomContextMenu);

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("标签_summary"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(summary_);
    resize(openingWidth(table_, layout), 480);

    contextMenu_ = new QMenu(this);
    contextMenu_->setObjectName(QStringLiteral("下载列表菜单"));
    pause_ =
        contextMenu_->addAction(QStringLiteral("暂停"), this, &DownloadListWindow::pauseSelected);
    resume_ =
        contextMenu_->addAction(QStringLiteral("继续"), this, &DownloadListWindow::resumeSelected);
    cancel_ =
        contextMenu_->addAction(QStringLiteral("取消"), this, &DownloadListWindow::cancelSelected);
    retry_ = contextMenu_->addAction(QStringLiteral("重新下载"), this,
                                     &DownloadListWindow::retrySelected);
    contextMenu_->addSeparator();
    openFolder_ = contextMenu_->addAction(QStringLiteral("打开所在文件夹"), this,
                                          &DownloadListWindow::openFolderOfSelected);
    play_ =
        contextMenu_->addAction(QStringLiteral("播放"), this, &DownloadListWindow::playSelected);
    contextMenu_->addSeparator();
    remove_ = contextMenu_->addAction(QStringLiteral("从列表中移除"), this,
                                      &DownloadListWindow::removeSelected);
    addSpeedLimitSwitch(contextMenu_, *core_);
    addScheduleSwitches(contextMenu_, *core_);
    connect(table_, &QWidget::customContextMenuRequested, this, &DownloadListWindow::showMenu);

    // Listening first, then the snapshot: events of the moment between come after it in
    // order, so the rows end at the latest state.
    QPointer<DownloadListWindow> self(this);
    listener_ = std::make_shared<ListListener>(model_, [self] {
        if (self) self->updateSummary();
    });
    queue_->addListener(listener_);
    model_->reset();
    updateSummary();
}

DownloadListWindow::~DownloadListWindow() {
    queue_->removeListener(listener_.get());
}

void DownloadListWindow::closeEvent(QCloseEvent* event) {
    keepListWindowPlace(this);
    QWidget::closeEvent(event);
}

void DownloadListWindow::updateSummary() {
    const DownloadListModel::Totals totals = model_->totals();
    summary_->setText(QStringLiteral("下载中 %1 个，等待 %2 个，已完成 %3 个，总速度 %4/s")
                          .arg(totals.running)
                          .arg(totals.queued)
                          .arg(totals.done)
                          .arg(QString::fromStdString(byteSizeText(totals.speed))));
}

std::vector<DownloadListModel::Row> DownloadListWindow::selectedItems() const {
    std::set<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
        rows.insert(index.row());
    }
    std::vector<DownloadListModel::Row> items;
    for (int row : rows) items.push_back(model_->itemAt(row));
    return items;
}

std::vector<std::int64_t> DownloadListWindow::selectedIds(bool (*wanted)(ItemState)) const {
    std::vector<std::int64_t> ids;
    for (const DownloadListModel::Row& item : selectedItems()) {
        if (wanted(item.state)) ids.push_back(item.id);
    }
    return ids;
}

std::vector<std::string> DownloadListWindow::selectedOutputPaths(bool (*wanted)(ItemState)) const {
    std::vector<std::string> paths;
    for (std::int64_t id : selectedIds(wanted)) {
        queue_->visitItem(
            id, [&](const DownloadItem& item) { paths.push_back(item.request.outputPath); });
    }
    return paths;
}

void DownloadListWindow::prepareMenu() {
    const std::vector<DownloadListModel::Row> items = selectedItems();
    auto some = [&](bool (*wanted)(ItemState)) {
        return std::any_of(items.begin(), items.end(),
                           [&](const DownloadListModel::Row& item) { return wanted(item.state); });
    };
    pause_->setEnabled(some(canPause));
    resume_->setEnabled(some(canResume));
    cancel_->setEnabled(some(canCancel));
    retry_->setEnabled(some(canRetry));
    openFolder_->setEnabled(!items.empty());
    play_->setEnabled(some([](ItemState state) { return state == ItemState::Done; }));
    remove_->setEnabled(!items.empty());
}

void DownloadListWindow::showMenu(const QPoint& pos) {
    if (selectedItems().empty()) return;
    prepareMenu();
    contextMenu_->popup(table_->viewport()->mapToGlobal(pos));
}

void DownloadListWindow::pauseSelected() {
    queue_->pause(selectedIds(canPause));
}

void DownloadListWindow::resumeSelected() {
    queue_->resume(selectedIds(canResume));
}

void DownloadListWindow::cancelSelected() {
    queue_->cancel(selectedIds(canCancel));
}

void DownloadListWindow::retrySelected() {
    queue_->retry(selectedIds(canRetry));
}

void DownloadListWindow::removeSelected() {
    queue_->remove(selectedIds(any));
}

// Each folder once, however many of its parts are selected.
void DownloadListWindow::openFolderOfSelected() {
    std::set<std::string> folders;
    for (const std::string& path : selectedOutputPaths(any)) {
        const std::string folder = path.substr(0, path.find_last_of('/'));
        if (folders.insert(folder).second) QDesktopServices::openUrl(fileUrl(folder));
    }
}

void DownloadListWindow::playSelected() {
    const auto done = [](ItemState state) { return state == ItemState::Done; };
    for (const std::string& path : selectedOutputPaths(done)) {
        QDesktopServices::openUrl(fileUrl(path));
        return;
    }
}

}  // namespace quivra

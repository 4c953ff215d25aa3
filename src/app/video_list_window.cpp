#include "app/video_list_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "app/content_choice_box.h"
#include "app/controls_window.h"
#include "app/list_table.h"
#include "base/gui_thread.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "download/list_download.h"
#include "net/text_encoding.h"
#include "video/listing/entry_filter.h"

namespace quivra {

namespace {

// The listing's reports, made into rows on its thread and handed to the window on the GUI
// thread; dropped once the window closed.
class WindowListingView : public ListingView {
  public:
    explicit WindowListingView(VideoListWindow* window) : window_(window) {}

    void showListInfo(const ListInfo& info) override {
        postToGui([window = window_, info] {
            if (window) window->showListInfo(info);
        });
    }

    // Pages come in order: each one's rows go below the last.
    void showEntries(size_t /*first*/, const std::vector<ListEntry>& entries) override {
        auto rows = std::make_shared<std::vector<VideoListModel::Row>>();
        rows->reserve(entries.size());
        for (const ListEntry& entry : entries) rows->push_back(VideoListModel::rowOf(entry));
        postToGui([window = window_, rows] {
            if (window) window->showRows(std::move(*rows));
        });
    }

    void showWaiting(const std::string& text) override {
        postToGui([window = window_, text = toQString(text)] {
            if (window) window->showWaiting(text);
        });
    }

    void listingEnded(ListingResult result) {
        auto ended = std::make_shared<const ListingResult>(std::move(result));
        postToGui([window = window_, ended] {
            if (window) window->listingEnded(*ended);
        });
    }

  private:
    QPointer<VideoListWindow> window_;
};

// The download run's reports: entry `index` of the chosen ones is row chosen[index].
class WindowListBatchView : public BatchView {
  public:
    WindowListBatchView(VideoListWindow* window, std::vector<size_t> chosen)
        : window_(window), chosen_(std::move(chosen)) {}

    void showAddressState(size_t index, const std::string& text) override {
        if (index >= chosen_.size()) return;
        postToGui([window = window_, row = chosen_[index], state = toQString(text)] {
            if (window) window->showDownloadState(row, state);
        });
    }

    void batchFinished() override {
        postToGui([window = window_] {
            if (window) window->downloadEnded();
        });
    }

  private:
    QPointer<VideoListWindow> window_;
    const std::vector<size_t> chosen_;
};

// The login's cookie and membership, read as the other windows read them.
ListingRequest listingRequestFor(const ListAddress& address, const SiteAddresses& site) {
    const UserRecord user = sharedState().user.get();
    ListingRequest request;
    request.address = address;
    request.site = site;
    request.cookie = user.cookie;
    request.member = user.vip.status;
    return request;
}

std::optional<std::int64_t> dayOf(const QDateEdit* edit) {
    return parseDay(edit->date().toString(QStringLiteral("yyyy-MM-dd")).toStdString());
}

}  // namespace

VideoListWindow* VideoListWindow::open(std::shared_ptr<DownloadCore> core,
                                       const ListAddress& address) {
    auto* window = new VideoListWindow(std::move(core), address);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->move(60, 60);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

VideoListWindow::VideoListWindow(std::shared_ptr<DownloadCore> core, const ListAddress& address,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), core_(std::move(core)) {
    setObjectName(QStringLiteral("VideoListWindow"));
    setWindowTitle(QStringLiteral("视频列表"));
    info_.kind = address.kind;
    buildControls();
    showListInfo(info_);

    auto view = std::make_shared<WindowListingView>(this);
    try {
        std::thread([view, stop = stopFlag_, request = listingRequestFor(address, core_->site)] {
            view->listingEnded(listVideos(request, view.get(), stop.get()));
        }).detach();
    } catch (const std::system_error&) {
        listingEnded({info_, {}, false, localText("无法启动列表线程")});
    }
}

VideoListWindow::~VideoListWindow() {
    *stopFlag_ = true;
    if (run_) run_->stop();
}

void VideoListWindow::buildControls() {
    header_ = new QLabel(this);
    header_->setObjectName(QStringLiteral("透明标签_list"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("透明标签_status"));
    stop_ = new QPushButton(QStringLiteral("停止"), this);
    stop_->setObjectName(QStringLiteral("按钮_stop"));

    model_ = new VideoListModel(this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("超级列表框_videos"));
    table_->setModel(model_);
    // Nothing measured per row: a page of rows comes in without a relayout of the rest.
    setUpListTable(table_);
    const int widths[] = {64, 330, 56, 140, 50, 110};
    for (int column = 0; column < VideoListModel::StateColumn; ++column) {
        table_->setColumnWidth(column, widths[column]);
    }

    selectAll_ = new QPushButton(QStringLiteral("全选"), this);
    selectAll_->setObjectName(QStringLiteral("按钮_selectAll"));
    invert_ = new QPushButton(QStringLiteral("反选"), this);
    invert_->setObjectName(QStringLiteral("按钮_invert"));
    sinceBox_ = new QCheckBox(QStringLiteral("从"), this);
    sinceBox_->setObjectName(QStringLiteral("选择框_since"));
    since_ = new QDateEdit(QDate::currentDate().addYears(-1), this);
    since_->setObjectName(QStringLiteral("日期框_since"));
    untilBox_ = new QCheckBox(QStringLiteral("到"), this);
    untilBox_->setObjectName(QStringLiteral("选择框_until"));
    until_ = new QDateEdit(QDate::currentDate(), this);
    until_->setObjectName(QStringLiteral("日期框_until"));
    for (QDateEdit* date : {since_, until_}) {
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        date->setCalendarPopup(true);
    }
    auto* matchLabel = new QLabel(QStringLiteral("标题包含："), this);
    matchLabel->setObjectName(QStringLiteral("透明标签_match"));
    match_ = new QLineEdit(this);
    match_->setObjectName(QStringLiteral("编辑框_match"));
    selectMatching_ = new QPushButton(QStringLiteral("按条件选中"), this);
    selectMatching_->setObjectName(QStringLiteral("按钮_selectMatching"));
    content_ = newContentBox(this, core_->settings.get());
    download_ = new QPushButton(QStringLiteral("下载选中"), this);
    download_->setObjectName(QStringLiteral("按钮_downloadSelected"));

    auto* top = new QHBoxLayout;
    top->addWidget(status_, 1);
    top->addWidget(stop_);
    auto* bottom = new QHBoxLayout;
    for (QWidget* control :
         std::initializer_list<QWidget*>{selectAll_, invert_, sinceBox_, since_, untilBox_, until_,
                                         matchLabel, match_, selectMatching_}) {
        bottom->addWidget(control);
    }
    bottom->addStretch(1);
    bottom->addWidget(content_);
    bottom->addWidget(download_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(header_);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    layout->addLayout(bottom);
    resize(980, 560);

    connect(stop_, &QPushButton::clicked, this, &VideoListWindow::stopListing);
    connect(selectAll_, &QPushButton::clicked, this, &VideoListWindow::selectAll);
    connect(invert_, &QPushButton::clicked, this, &VideoListWindow::invertSelection);
    connect(selectMatching_, &QPushButton::clicked, this, &VideoListWindow::selectMatching);
    connect(match_, &QLineEdit::returnPressed, this, &VideoListWindow::selectMatching);
    connect(download_, &QPushButton::clicked, this, &VideoListWindow::downloadSelected);
}

void VideoListWindow::showListInfo(const ListInfo& info) {
    info_ = info;
    QString text = toQString(listKindName(info.kind)) + QStringLiteral("：") + toQString(info.name);
    // An uploader's list is named after its owner already.
    if (!info.owner.empty() && info.owner != info.name) {
        text += QStringLiteral("　UP主：") + toQString(info.owner);
    }
    header_->setText(text);
    showCount();
}

void VideoListWindow::showRows(std::vector<VideoListModel::Row> rows) {
    model_->appendRows(std::move(rows));
    showCount();
}

void VideoListWindow::showWaiting(const QString& text) {
    status_->setText(text);
}

void VideoListWindow::listingEnded(const ListingResult& result) {
    listing_ = false;
    reason_ = result.reason;
    stop_->setEnabled(false);
    showListInfo(result.info);
}

// 已列出N/总数, and why the listing ended early once it did.
void VideoListWindow::showCount() {
    QString text = QStringLiteral("已列出%1").arg(model_->rowCount());
    if (info_.total >= 0) text += QStringLiteral("/%1").arg(info_.total);
    if (!reason_.empty()) text += QStringLiteral("，") + toQString(reason_);
    status_->setText(text);
}

void VideoListWindow::stopListing() {
    *stopFlag_ = true;
    stop_->setEnabled(false);
}

void VideoListWindow::selectAll() {
    model_->setCheckedRows(filterEntries(model_->entries(), {}));
}

void VideoListWindow::invertSelection() {
    std::vector<size_t> unchecked;
    for (size_t row : filterEntries(model_->entries(), {})) {
        if (!model_->isChecked(row)) unchecked.push_back(row);
    }
    model_->setCheckedRows(unchecked);
}

void VideoListWindow::selectMatching() {
    EntryFilter filter;
    if (sinceBox_->isChecked()) filter.since = dayOf(since_);
    if (untilBox_->isChecked()) filter.until = dayOf(until_);
    filter.match = utf8ToLocalText(match_->text().trimmed().toStdString());
    model_->setCheckedRows(filterEntries(model_->entries(), filter));
}

void VideoListWindow::downloadSelected() {
    if (run_) return;
    std::vector<size_t> chosen = model_->checkedRows();
    if (chosen.empty()) {
        showMessageBox(localText("请先选择要下载的视频！"));
        return;
    }
    const ListingResult listing{info_, model_->entries(), !listing_ && reason_.empty(), reason_};
    auto view = std::make_shared<WindowListBatchView>(this, chosen);
    download_->setEnabled(false);
    run_ = startListDownload(listing, chosen, withChosenContent(core_->settings.get(), content_),
                             core_->site.main, core_->queue, std::move(view));
}

void VideoListWindow::showDownloadState(size_t row, const QString& text) {
    model_->setState(row, text);
}

void VideoListWindow::downloadEnded() {
    run_.reset();
    download_->setEnabled(true);
}

}  // namespace quivra

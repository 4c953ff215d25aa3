#include "app/main_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include <unistd.h>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "app/batch_window.h"
#include "app/controls_window.h"
#include "app/desktop_tray.h"
#include "app/download_list_window.h"
#include "app/download_view_window.h"
#include "app/login_window.h"
#include "app/search_window.h"
#include "app/settings_window.h"
#include "app/subscriptions_window.h"
#include "app/video_list_window.h"
#include "base/gui_thread.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "base/site_text.h"
#include "download/download_core.h"
#include "download/download_start.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"
#include "video/audio_choices.h"
#include "video/listing/list_address.h"
#include "video/parse_procedure.h"

namespace quivra {

namespace {

MainWindow* openWindow = nullptr;

// Parses run one after the other, so two of them never interleave their rows.
std::mutex& parseMutex() {
    static std::mutex mutex;
    return mutex;
}

// The parse thread's view of the window: every call is carried out on the GUI thread,
// and does nothing once the window is gone.
class WindowParseView : public ParseView {
  public:
    explicit WindowParseView(MainWindow* window) : window_(window) {}

    void setParseButton(const std::string& caption, bool enabled) override {
        onWindow([&](MainWindow& w) {
            w.parseButton()->setText(toQString(caption));
            w.parseButton()->setEnabled(enabled);
        });
    }

    void clearQualityItems() override {
        onWindow([](MainWindow& w) { w.videoQualityBox()->clear(); });
    }

    void addQualityItem(const std::string& text, int itemData) override {
        onWindow([&](MainWindow& w) {
            w.videoQualityBox()->addItem(toQString(text), itemData);
            w.videoQualityBox()->setCurrentIndex(-1);  // nothing chosen until the user picks
        });
    }

    void clearRows() override {
        onWindow([](MainWindow& w) {
            w.list()->clear();
            w.setShownParse(nullptr);
        });
    }

    void appendRows(const std::vector<PageEntry>& pages) override {
        onWindow([&](MainWindow& w) {
            QList<QTreeWidgetItem*> items;
            items.reserve(static_cast<qsizetype>(pages.size()));
            for (const PageEntry& page : pages) {
                auto* item = new QTreeWidgetItem(
                    QStringList{toQString(page.page),
                                QString::fromStdString(siteText(page.partUtf8, page.part)),
                                toQString(page.duration), toQString(page.cid), QString()});
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(MainWindow::NumberColumn, Qt::Unchecked);
                items.append(item);
            }
            w.list()->addTopLevelItems(items);
        });
    }

    void setStatusText(const std::string& text) override {
        onWindow([&](MainWindow& w) { w.videoNumberLabel()->setText(toQString(text)); });
    }

    void showMessage(const std::string& text) override { showMessageBox(text); }

    // The rows listed now belong to this parse.
    void keepResult(const ParseResult& result) override {
        auto shown = std::make_shared<const ParseResult>(result);
        onWindow([&](MainWindow& w) { w.setShownParse(shown); });
    }

  private:
    template <class Fn>
    void onWindow(Fn&& fn) {
        callOnGui([this, &fn] {
            if (window_) {
                fn(*window_);
            }
        });
    }

    QPointer<MainWindow> window_;  // read on the GUI thread only
};

}  // namespace

void endProgram(DownloadCore& core) {
    beginGuiShutdown();
    stopDownloadCore(core, 0);
    std::fflush(nullptr);
    _exit(0);
}

MainWindow::MainWindow(std::shared_ptr<DownloadCore> core, QWidget* parent)
    : QMainWindow(parent),
      core_(std::move(core)),
      queue_(core_->queue),
      rowStates_(makeRowStateListener(this)) {
    setObjectName(QStringLiteral("MainWindow"));
    buildControls();
    buildMenus();
    queue_->addListener(rowStates_);
    openWindow = this;
    startThreadPool();
    setWindowTitle(QStringLiteral("Quivra视频下载器" QUIVRA_VERSION));
}

MainWindow::~MainWindow() {
    queue_->removeListener(rowStates_.get());
    if (openWindow == this) {
        openWindow = nullptr;
    }
}

MainWindow* MainWindow::instance() {
    return openWindow;
}

void MainWindow::showMainWindow(const std::shared_ptr<DownloadCore>& core) {
    if (openWindow != nullptr) {
        openWindow->reappear();
        return;
    }
    auto* window = new MainWindow(core);
    window->move(50, 50);
    window->show();
}

void MainWindow::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    client->setFixedSize(601, 546);
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    newLabel(client, "透明标签1", QStringLiteral("视频地址："), {8, 8, 136, 32});
    videoUrl_ = newEdit(client, "编辑框_videoUrl", {64, 8, 456, 32});
    videoUrl_->installEventFilter(this);
    parseButton_ = newButton(client, "按钮_parse", QStringLiteral("解析"), {528, 8, 64, 32});

    group_ = new QGroupBox(client);
    group_->setObjectName(QStringLiteral("分组框1"));
    group_->setGeometry(8, 48, 584, 400);

    newLabel(group_, "透明标签2", QStringLiteral("视频质量："), {8, 8, 56, 32});
    videoQuality_ = new QComboBox(group_);
    videoQuality_->setObjectName(QStringLiteral("组合框_videoQuality"));
    videoQuality_->setGeometry(64, 12, 136, 24);

    newLabel(group_, "透明标签3", QStringLiteral("音频质量："), {208, 8, 56, 32});
    audioQuality_ = new QComboBox(group_);
    audioQuality_->setObjectName(QStringLiteral("组合框_audioQuality"));
    audioQuality_->setGeometry(264, 12, 40, 24);
    // The lossless and Dolby streams are for the settings' default and the command line.
    for (size_t i = 0; i < kAacAudioChoices; ++i) {
        audioQuality_->addItem(QString::fromUtf8(kAudioChoices[i].name), kAudioChoices[i].streamId);
    }
    audioQuality_->setCurrentIndex(0);

    videoNumber_ = newLabel(group_, "透明标签_videoNumber", QString(), {312, 8, 256, 32});
    // A failure's reason or the note of a cut list may need a second line.
    videoNumber_->setWordWrap(true);

    list_ = new QTreeWidget(group_);
    list_->setObjectName(QStringLiteral("超级列表框_list"));
    list_->setGeometry(8, 40, 568, 352);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels({QStringLiteral("#"), QStringLiteral("标题"), QStringLiteral("时长"),
                            QStringLiteral("cid"), QStringLiteral("状态")});
    list_->header()->setStretchLastSection(false);
    list_->header()->setMinimumSectionSize(0);
    const int widths[] = {50, 320, 50, 0, 120};
    for (int column = 0; column < 5; ++column) {
        list_->setColumnWidth(column, widths[column]);
    }
    list_->setColumnHidden(CidColumn, true);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);

    downloadAll_ =
        newButton(client, "按钮_downloadAll", QStringLiteral("下载全部"), {8, 456, 80, 32});
    downloadSelected_ =
        newButton(client, "按钮_downloadSelected", QStringLiteral("下载选中"), {96, 456, 80, 32});

    connect(parseButton_, &QPushButton::clicked, this, &MainWindow::startParse);
    connect(videoQuality_, &QComboBox::activated, this, &MainWindow::onVideoQualitySelected);
    connect(list_, &QWidget::customContextMenuRequested, this, &MainWindow::showListMenu);
    connect(downloadAll_, &QPushButton::clicked, this, &MainWindow::onDownloadAll);
    connect(downloadSelected_, &QPushButton::clicked, this, &MainWindow::onDownloadSelected);
}

void MainWindow::buildMenus() {
    contextMenu_ = new QMenu(QStringLiteral("菜单"), this);
    contextMenu_->setObjectName(QStringLiteral("菜单"));
    contextMenu_->addAction(QStringLiteral("选中"), this, &MainWindow::checkSelectedRows);
    contextMenu_->addAction(QStringLiteral("全选"), this, &MainWindow::checkAllRows);
    contextMenu_->addAction(QStringLiteral("反选"), this, &MainWindow::invertChecks);
    contextMenu_->addAction(QStringLiteral("全不选"), this, &MainWindow::uncheckAllRows);

    QMenu* other = menuBar()->addMenu(QStringLiteral("其他功能"));
    other->setObjectName(QStringLiteral("其他功能"));
    other->addAction(QStringLiteral("用户登录"), this, &MainWindow::openLoginWindow);
    other->addAction(QStringLiteral("视频搜索"), this, &MainWindow::openSearchWindow);
    other->addAction(QStringLiteral("下载列表"), this, &MainWindow::openDownloadListWindow);
    other->addAction(QStringLiteral("批量下载"), this, [this] { BatchWindow::showFor(core_); });
    other->addAction(QStringLiteral("订阅"), this, [this] { SubscriptionsWindow::showFor(core_); });
    QMenu* settings = menuBar()->addMenu(QStringLiteral("设置"));
    settings->setObjectName(QStringLiteral("设置"));
    settings->addAction(QStringLiteral("下载设置"), this, &MainWindow::openSettingsWindow);
}

// The pool exists once per program: a main window opened anew keeps the running pool.
void MainWindow::startThreadPool() {
    if (core_->pool.state() != ThreadPool::NotRunning) {
        return;
    }
    if (!core_->pool.start(core_->settings.get().threadNumber, true)) {
        showMessageBox(localText("线程池创建失败"));
        endProgram(*core_);
    }
}

void MainWindow::reappear() {
    show();
    raise();
    activateWindow();
}

QString MainWindow::videoUrl() const {
    return videoUrl_->text();
}

void MainWindow::setVideoUrl(const QString& url) {
    videoUrl_->setText(url);
}

void MainWindow::startParse() {
    // The box is read here, at the press: the parse thread never reads a widget.
    std::string address = utf8ToLocalText(videoUrl().toStdString());
    // A whole list opens a window of its own; the parse is for one video.
    if (const std::optional<ListAddress> list = recognizeListAddress(address, core_->site)) {
        if (list->problem.empty()) {
            VideoListWindow::open(core_, *list);
        } else {
            showMessageBox(list->problem);
        }
        return;
    }
    auto view = std::make_shared<WindowParseView>(this);
    try {
        std::thread([view, address = std::move(address)] {
            std::lock_guard lock(parseMutex());
            runParse(*view, address);
        }).detach();
    } catch (const std::system_error&) {
        // No thread could be started: the click has no effect, as a failed start would.
    }
}

// Only a right click on a row opens the menu; empty space below the rows does not.
void MainWindow::showListMenu(const QPoint& pos) {
    if (list_->itemAt(pos) != nullptr) {
        contextMenu_->popup(list_->viewport()->mapToGlobal(pos));
    }
}

void MainWindow::checkSelectedRows() {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (item->isSelected()) {
            item->setCheckState(NumberColumn, Qt::Checked);
        }
    }
}

void MainWindow::checkAllRows() {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        list_->topLevelItem(i)->setCheckState(NumberColumn, Qt::Checked);
    }
}

void MainWindow::invertChecks() {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        item->setCheckState(NumberColumn, item->checkState(NumberColumn) == Qt::Checked
                                              ? Qt::Unchecked
                                              : Qt::Checked);
    }
}

void MainWindow::uncheckAllRows() {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        list_->topLevelItem(i)->setCheckState(NumberColumn, Qt::Unchecked);
    }
}

void MainWindow::onVideoQualitySelected() {
    auto view = makeWindowDownloadView(this);
    checkQualityAvailable(*view);
}

void MainWindow::onDownloadAll() {
    startDownloads(*makeWindowDownloadView(this), *queue_, core_->settings.get(), core_->site.main);
}

void MainWindow::onDownloadSelected() {
    startCheckedDownloads(*makeWindowDownloadView(this), *queue_, core_->settings.get(),
                          core_->site.main);
}

void MainWindow::openLoginWindow() {
    auto* window = new LoginWindow(core_);  // deletes itself when closed
    window->show();
    hide();
}

void MainWindow::openSearchWindow() {
    auto* window = new SearchWindow(core_);  // deletes itself when closed
    window->show();
    hide();
}

void MainWindow::openSettingsWindow() {
    auto* window = new SettingsWindow(core_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    hide();
}

// The list stays beside the main window: downloads go on while the user parses more.
void MainWindow::openDownloadListWindow() {
    DownloadListWindow::showFor(core_);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == videoUrl_ && event->type() == QEvent::MouseButtonDblClick) {
        videoUrl_->clear();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closesToTray()) {
        event->ignore();
        hide();
        return;
    }
    event->accept();
    endProgram(*core_);
}

}  // namespace quivra

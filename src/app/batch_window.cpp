#include "app/batch_window.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include <string>
#include <vector>

#include "app/content_choice_box.h"
#include "app/controls_window.h"
#include "base/gui_thread.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "download/batch_download.h"
#include "net/text_encoding.h"
#include "video/address_list.h"

namespace quivra {

namespace {

QPointer<BatchWindow> openBatch;

// The batch's reports, handed to the window on the GUI thread; dropped once it closed.
class WindowBatchView : public BatchView {
  public:
    // The run's first address is row firstRow of the list.
    WindowBatchView(BatchWindow* window, int firstRow) : window_(window), firstRow_(firstRow) {}

    void showAddressState(size_t index, const std::string& text) override {
        postToGui(
            [window = window_, row = firstRow_ + static_cast<int>(index), state = toQString(text)] {
                if (!window) return;
                if (QTreeWidgetItem* item = window->list()->topLevelItem(row)) {
                    item->setText(BatchWindow::StateColumn, state);
                }
            });
    }

    void batchFinished() override {
        postToGui([window = window_] {
            if (window) window->runFinished();
        });
    }

  private:
    QPointer<BatchWindow> window_;
    const int firstRow_;
};

}  // namespace

BatchWindow* BatchWindow::showFor(std::shared_ptr<DownloadCore> core) {
    if (!openBatch) {
        openBatch = new BatchWindow(std::move(core));
        openBatch->setAttribute(Qt::WA_DeleteOnClose);
        openBatch->move(80, 80);
    }
    openBatch->show();
    openBatch->raise();
    openBatch->activateWindow();
    return openBatch;
}

BatchWindow::BatchWindow(std::shared_ptr<DownloadCore> core, QWidget* parent)
    : QWidget(parent, Qt::Window), core_(std::move(core)), queue_(core_->queue) {
    setObjectName(QStringLiteral("BatchWindow"));
    setWindowTitle(QStringLiteral("批量下载"));
    setFixedSize(600, 480);

    newLabel(this, "透明标签1",
             QStringLiteral("视频地址、bvid或avid，每行一个，或以空格、逗号隔开："),
             {8, 8, 584, 24});
    addresses_ = new QPlainTextEdit(this);
    addresses_->setObjectName(QStringLiteral("编辑框_addresses"));
    addresses_->setGeometry(8, 32, 584, 160);
    openFile_ = newButton(this, "按钮_openFile", QStringLiteral("从文件导入"), {8, 200, 96, 32});
    newLabel(this, "透明标签_downloadContent", QStringLiteral("下载内容："), {328, 200, 72, 32});
    content_ = newContentBox(this, core_->settings.get());
    content_->setGeometry(400, 204, 96, 24);
    start_ = newButton(this, "按钮_start", QStringLiteral("开始"), {512, 200, 80, 32});

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("超级列表框_addresses"));
    list_->setGeometry(8, 240, 584, 232);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels({QStringLiteral("地址"), QStringLiteral("状态")});
    list_->setColumnWidth(AddressColumn, 330);

    connect(openFile_, &QPushButton::clicked, this, &BatchWindow::chooseFile);
    connect(start_, &QPushButton::clicked, this, &BatchWindow::start);
}

// Addresses being parsed finish and are queued; none starts after.
BatchWindow::~BatchWindow() {
    if (run_) run_->stop();
}

void BatchWindow::addAddresses(const QStringList& addresses) {
    for (const QString& address : addresses) addresses_->appendPlainText(address);
}

bool BatchWindow::loadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        showMessageBox(localText("文件读取失败：") + utf8ToLocalText(path.toStdString()));
        return false;
    }
    addAddresses({QString::fromUtf8(file.readAll())});
    return true;
}

void BatchWindow::chooseFile() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("请选择地址列表文件"), QString(),
                                     QStringLiteral("文本文件 (*.txt);;所有文件 (*)"));
    if (!path.isEmpty()) loadFile(path);
}

void BatchWindow::start() {
    if (run_) {
        startAgain_ = true;  // what was added meanwhile follows once this run is over
        return;
    }
    const std::vector<std::string> addresses =
        splitAddresses(utf8ToLocalText(addresses_->toPlainText().toStdString()));
    if (addresses.empty()) {
        showMessageBox(localText("请先输入视频地址！"));
        return;
    }
    addresses_->clear();
    const int firstRow = list_->topLevelItemCount();
    QList<QTreeWidgetItem*> rows;
    for (const std::string& address : addresses) {
        rows.append(new QTreeWidgetItem({toQString(address), QString()}));
    }
    list_->addTopLevelItems(rows);
    start_->setEnabled(false);
    // List addresses are read with the login of this moment.
    ListingRequest lists;
    lists.site = core_->site;
    const UserRecord user = sharedState().user.get();
    lists.cookie = user.cookie;
    lists.member = user.vip.status;
    run_ = BatchRun::start(addresses, withChosenContent(core_->settings.get(), content_),
                           std::move(lists), queue_,
                           std::make_shared<WindowBatchView>(this, firstRow));
}

void BatchWindow::runFinished() {
    run_.reset();
    start_->setEnabled(true);
    if (startAgain_) {
        startAgain_ = false;
        if (!addresses_->toPlainText().trimmed().isEmpty()) start();
    }
}

}  // namespace quivra

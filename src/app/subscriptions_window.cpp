#include "app/subscriptions_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "app/controls_window.h"
#include "app/subscriptions_model.h"
#include "base/gui_thread.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "download/plan/default_quality.h"
#include "download/subscription_add.h"
#include "download/subscription_schedule.h"
#include "net/text_encoding.h"
#include "video/audio_choices.h"

namespace quivra {

namespace {

QPointer<SubscriptionsWindow> openSubscriptions;

constexpr int kDefaultIntervalMinutes = kDefaultCheckInterval / 60;

// The store's rows, read on the thread that changed them, shown on the GUI thread.
class WindowSubscriptionListener : public SubscriptionListener {
  public:
    WindowSubscriptionListener(SubscriptionsWindow* window, SubscriptionSchedule& schedule)
        : window_(window), schedule_(schedule) {}

    void subscriptionChecked(const CheckOutcome&) override {}
    void subscriptionsChanged(std::int64_t) override {
        postToGui([window = window_, rows = schedule_.subscriptions()]() mutable {
            if (window) window->model()->show(std::move(rows));
        });
    }

  private:
    QPointer<SubscriptionsWindow> window_;
    SubscriptionSchedule& schedule_;
};

QComboBox* newQualityBox(QWidget* parent, const char* name, const QRect& geometry) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromUtf8(name));
    box->setGeometry(geometry);
    box->addItem(QStringLiteral("默认"), QString());  // the settings' choice when a video comes
    return box;
}

}  // namespace

SubscriptionsWindow* SubscriptionsWindow::showFor(std::shared_ptr<DownloadCore> core) {
    if (!core->subscriptions) {
        showMessageBox(localText("订阅不可用：无法打开下载记录"));
        return nullptr;
    }
    if (!openSubscriptions) {
        openSubscriptions = new SubscriptionsWindow(std::move(core));
        openSubscriptions->setAttribute(Qt::WA_DeleteOnClose);
        openSubscriptions->move(80, 80);
    }
    openSubscriptions->show();
    openSubscriptions->raise();
    openSubscriptions->activateWindow();
    return openSubscriptions;
}

SubscriptionsWindow::SubscriptionsWindow(std::shared_ptr<DownloadCore> core, QWidget* parent)
    : QWidget(parent, Qt::Window), core_(std::move(core)), schedule_(core_->subscriptions) {
    setObjectName(QStringLiteral("SubscriptionsWindow"));
    setWindowTitle(QStringLiteral("订阅"));
    setFixedSize(860, 520);

    newLabel(this, "透明标签_address", QStringLiteral("列表地址："), {8, 8, 72, 32});
    address_ = newEdit(this, "编辑框_address", {80, 8, 692, 32});
    address_->setPlaceholderText(QStringLiteral("UP主、收藏夹、合集、列表或番剧的地址"));
    add_ = newButton(this, "按钮_add", QStringLiteral("添加"), {780, 8, 72, 32});

    newLabel(this, "透明标签_folder", QStringLiteral("文件夹："), {8, 48, 56, 32});
    folder_ = newEdit(this, "编辑框_folder", {64, 48, 288, 32});
    folder_->setPlaceholderText(QStringLiteral("默认：下载目录下以列表命名的文件夹"));
    newLabel(this, "透明标签_videoQuality", QStringLiteral("视频质量："), {360, 48, 64, 32});
    videoQuality_ = newQualityBox(this, "组合框_videoQuality", {424, 52, 96, 24});
    for (const std::string& name : videoCeilingNames()) {
        videoQuality_->addItem(QString::fromStdString(name), QString::fromStdString(name));
    }
    newLabel(this, "透明标签_audioQuality", QStringLiteral("音频质量："), {528, 48, 64, 32});
    audioQuality_ = newQualityBox(this, "组合框_audioQuality", {592, 52, 80, 24});
    for (const AudioChoice& audio : kAudioChoices) {
        audioQuality_->addItem(QString::fromUtf8(audio.name), QString::fromUtf8(audio.name));
    }

    newLabel(this, "透明标签_since", QStringLiteral("起始时间："), {8, 88, 64, 32});
    since_ = new QDateTimeEdit(QDateTime::fromSecsSinceEpoch(schedule_->now()), this);
    since_->setObjectName(QStringLiteral("日期框_since"));
    since_->setGeometry(72, 92, 160, 24);
    since_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    backCatalogue_ = new QCheckBox(QStringLiteral("包含已有视频"), this);
    backCatalogue_->setObjectName(QStringLiteral("选择框_backCatalogue"));
    backCatalogue_->setGeometry(240, 88, 112, 32);
    newLabel(this, "透明标签_interval", QStringLiteral("检查间隔："), {360, 88, 64, 32});
    interval_ = new QSpinBox(this);
    interval_->setObjectName(QStringLiteral("调节器_interval"));
    interval_->setGeometry(424, 92, 96, 24);
    interval_->setRange(1, 7 * 24 * 60);
    interval_->setSuffix(QStringLiteral(" 分钟"));
    interval_->setValue(kDefaultIntervalMinutes);

    model_ = new SubscriptionsModel(this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("表格_subscriptions"));
    table_->setGeometry(8, 128, 844, 344);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {160, 80, 240, 88, 56, 88};
    for (int column = 0; column < 6; ++column) table_->setColumnWidth(column, widths[column]);

    check_ = newButton(this, "按钮_check", QStringLiteral("立即检查"), {8, 480, 80, 32});
    pause_ = newButton(this, "按钮_pause", QStringLiteral("暂停订阅"), {96, 480, 80, 32});
    remove_ = newButton(this, "按钮_remove", QStringLiteral("删除订阅"), {184, 480, 80, 32});

    connect(add_, &QPushButton::clicked, this, &SubscriptionsWindow::addSubscription);
    connect(address_, &QLineEdit::returnPressed, this, &SubscriptionsWindow::addSubscription);
    connect(check_, &QPushButton::clicked, this, &SubscriptionsWindow::checkChosen);
    connect(pause_, &QPushButton::clicked, this, &SubscriptionsWindow::pauseOrResumeChosen);
    connect(remove_, &QPushButton::clicked, this, &SubscriptionsWindow::removeChosen);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SubscriptionsWindow::updateButtons);
    // The rows are shown anew after every change: the chosen one stays chosen.
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const std::optional<Subscription> subscription = chosen();
        chosenId_ = subscription ? subscription->id : 0;
    });
    connect(model_, &QAbstractItemModel::modelReset, this, &SubscriptionsWindow::chooseAgain);

    listener_ = std::make_shared<WindowSubscriptionListener>(this, *schedule_);
    schedule_->addListener(listener_);
    refresh();
}

SubscriptionsWindow::~SubscriptionsWindow() {
    schedule_->removeListener(listener_.get());
}

void SubscriptionsWindow::refresh() {
    model_->show(schedule_->subscriptions());
}

// What the options say, for the address in the box.
Subscription SubscriptionsWindow::wanted() const {
    Subscription wanted;
    wanted.address = utf8ToLocalText(address_->text().trimmed().toStdString());
    wanted.folder = utf8ToLocalText(folder_->text().trimmed().toStdString());
    wanted.quality = utf8ToLocalText(videoQuality_->currentData().toString().toStdString());
    wanted.audio = utf8ToLocalText(audioQuality_->currentData().toString().toStdString());
    wanted.since = since_->dateTime().toSecsSinceEpoch();
    wanted.backCatalogue = backCatalogue_->isChecked();
    wanted.intervalSeconds = interval_->value() * 60;
    return wanted;
}

void SubscriptionsWindow::addSubscription() {
    const Subscription subscription = wanted();
    if (subscription.address.empty()) {
        showMessageBox(localText("请先输入列表地址！"));
        return;
    }
    ListingRequest lists;
    lists.site = core_->site;
    const UserRecord user = sharedState().user.get();
    lists.cookie = user.cookie;
    lists.member = user.vip.status;
    add_->setEnabled(false);
    try {
        std::thread([window = QPointer<SubscriptionsWindow>(this), schedule = schedule_,
                     subscription, lists = std::move(lists), settings = core_->settings.get()] {
            NewSubscription made = describeSubscription(subscription, lists, settings);
            // Stored even when the window closed meanwhile: the user asked for it.
            if (made.failure.empty() && schedule->add(made.subscription) == 0)
                made.failure = localText("无法写入订阅");
            postToGui([window, failure = std::move(made.failure)] {
                if (window) window->added(failure);
            });
        }).detach();
    } catch (const std::system_error&) {
        add_->setEnabled(true);
    }
}

void SubscriptionsWindow::added(const std::string& failure) {
    add_->setEnabled(true);
    if (!failure.empty()) {
        showMessageBox(failure);
        return;
    }
    address_->clear();
    // The next one starts from now too, however long the window stayed open.
    since_->setDateTime(QDateTime::fromSecsSinceEpoch(schedule_->now()));
    refresh();
}

std::optional<Subscription> SubscriptionsWindow::chosen() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return std::nullopt;
    return model_->subscriptions()[static_cast<size_t>(rows.first().row())];
}

void SubscriptionsWindow::chooseAgain() {
    const std::vector<Subscription>& rows = model_->subscriptions();
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].id == chosenId_ && chosenId_ != 0) table_->selectRow(static_cast<int>(row));
    }
    updateButtons();
}

void SubscriptionsWindow::updateButtons() {
    const std::optional<Subscription> subscription = chosen();
    check_->setEnabled(subscription.has_value());
    pause_->setEnabled(subscription.has_value());
    remove_->setEnabled(subscription.has_value());
    pause_->setText(subscription && subscription->paused ? QStringLiteral("继续订阅")
                                                         : QStringLiteral("暂停订阅"));
}

void SubscriptionsWindow::checkChosen() {
    if (const std::optional<Subscription> subscription = chosen()) {
        schedule_->checkNow(subscription->id);
    }
}

void SubscriptionsWindow::pauseOrResumeChosen() {
    if (const std::optional<Subscription> subscription = chosen()) {
        schedule_->setPaused(subscription->id, !subscription->paused);
    }
}

// The videos it brought stay, on disk and in the download list.
void SubscriptionsWindow::removeChosen() {
    if (const std::optional<Subscription> subscription = chosen()) {
        schedule_->remove(subscription->id);
    }
}

}  // namespace quivra

// The 订阅 window and the schedule of the core against the local site and a real store:
// adding a list, refusing what is not one, 立即检查 bringing a new video's parts into the
// download list once, pausing and removing, and the check due at start.
#include "app/subscriptions_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QSpinBox>
#include <QTableView>

#include <atomic>
#include <ctime>
#include <filesystem>

#include "app/controls_window.h"
#include "app/desktop_notification.h"
#include "app/subscriptions_model.h"
#include "download/list/download_list_start.h"
#include "download/list/download_store.h"
#include "download/subscription_schedule.h"
#include "main_window_fixture.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;

// What the checks found, in order, from the schedule's thread.
class CheckLog : public SubscriptionListener {
  public:
    void subscriptionChecked(const CheckOutcome& outcome) override {
        std::lock_guard lock(mutex_);
        outcomes_.push_back(outcome);
    }
    void subscriptionsChanged(std::int64_t) override {}
    std::vector<CheckOutcome> outcomes() const {
        std::lock_guard lock(mutex_);
        return outcomes_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<CheckOutcome> outcomes_;
};

class SubscriptionsWindowTest : public MainWindowTest {
  protected:
    void SetUp() override {
        for (const char* end : {"", "-wal", "-shm"}) fs::remove(storePath() + end);
        fs::remove_all(folder() / "subscribed");
        windowQueue_ = openDownloadList(idlePool_, test::programJob(), configPath(), 5).queue;
        MainWindowTest::SetUp();
        sharedState().download.update(
            [&](DownloadSettings& s) { s.directory = (folder() / "subscribed").string(); });
    }

    void TearDown() override {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<SubscriptionsWindow*>(widget)) delete widget;
        }
        core_->subscriptions.reset();
        MainWindowTest::TearDown();
    }

    static std::string storePath() { return (folder() / "downloads.db").string(); }

    void startSchedule() {
        SubscriptionSchedule::Start started =
            SubscriptionSchedule::start(storePath(), core_->queue, core_->settings, core_->site,
                                        [this] { return now_.load(); });
        ASSERT_EQ(started.failure, "");
        core_->subscriptions = started.schedule;
        core_->subscriptions->addListener(checks_);
    }

    // Opened as 其他功能 > 订阅 opens it.
    SubscriptionsWindow* openWindow() {
        QMenu* other = window_->findChild<QMenu*>(QStringLiteral("其他功能"));
        for (QAction* action : other->actions()) {
            if (action->text() == QStringLiteral("订阅")) action->trigger();
        }
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<SubscriptionsWindow*>(widget)) return found;
        }
        return nullptr;
    }

    // Types the address and presses 添加; true once a row more shows or a message came.
    bool add(SubscriptionsWindow* window, const std::string& address) {
        const int rows = window->model()->rowCount();
        const size_t messages = messages_.texts().size();
        window->addressEdit()->setText(QString::fromStdString(address));
        QTest::mouseClick(window->addButton(), Qt::LeftButton);
        return QTest::qWaitFor(
            [&] {
                return window->model()->rowCount() > rows || messages_.texts().size() > messages;
            },
            30000);
    }

    // Waits until the row's subscription was checked at the schedule's time of now.
    static bool checkedNow(SubscriptionsWindow* window, int row, std::int64_t now) {
        return QTest::qWaitFor(
            [&] {
                const auto& shown = window->model()->subscriptions();
                return static_cast<int>(shown.size()) > row &&
                       shown[static_cast<size_t>(row)].lastCheck == now;
            },
            30000);
    }

    int partsOf(const std::string& bvid) const {
        int parts = 0;
        core_->queue->visitItems(
            [&](const DownloadItem& item) { parts += item.request.bvid == bvid; });
        return parts;
    }

    ThreadPool idlePool_;  // never started: the parts a check adds stay queued
    std::atomic<std::int64_t> now_{std::time(nullptr)};
    std::shared_ptr<CheckLog> checks_ = std::make_shared<CheckLog>();
};

TEST_F(SubscriptionsWindowTest, AddingAListShowsItsRowWithTheDefaultsAndTheLeastInterval) {
    ASSERT_NO_FATAL_FAILURE(startSchedule());
    SubscriptionsWindow* window = openWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "订阅");
    EXPECT_EQ(window->intervalBox()->value(), 360);
    window->intervalBox()->setValue(1);
    ASSERT_TRUE(add(window, site().baseUrl() + "/" + devsite::kUploaderMid));
    ASSERT_EQ(messages_.texts(), std::vector<std::string>{});
    ASSERT_EQ(window->model()->rowCount(), 1);
    EXPECT_TRUE(window->addressEdit()->text().isEmpty());

    const Subscription shown = window->model()->subscriptions()[0];
    EXPECT_FALSE(shown.name.empty());
    EXPECT_EQ(shown.kind, ListKind::Uploader);
    EXPECT_EQ(shown.folder, (folder() / "subscribed" / shown.name).string());
    EXPECT_EQ(shown.intervalSeconds, kLeastCheckInterval);
    EXPECT_EQ(shown.quality, "");
    EXPECT_EQ(shown.audio, "");
    EXPECT_FALSE(shown.backCatalogue);
    EXPECT_LE(shown.since, now_.load());
    EXPECT_GT(shown.since, now_.load() - 60);
    const QAbstractItemModel* model = window->model();
    EXPECT_EQ(model->headerData(SubscriptionsModel::NewVideosColumn, Qt::Horizontal).toString(),
              "新视频");
    EXPECT_EQ(model->index(0, SubscriptionsModel::KindColumn).data().toString(), "UP主投稿");
    // A new one is due at once: its first check is made and shown.
    ASSERT_TRUE(checkedNow(window, 0, now_));
    EXPECT_EQ(model->index(0, SubscriptionsModel::NewVideosColumn).data().toString(), "0");
    EXPECT_EQ(window->model()->subscriptions()[0].nextCheck, now_ + kLeastCheckInterval);
}

TEST_F(SubscriptionsWindowTest, WhatIsNotAListThatCanBeReadIsRefusedWithItsReason) {
    ASSERT_NO_FATAL_FAILURE(startSchedule());
    SubscriptionsWindow* window = openWindow();
    ASSERT_NE(window, nullptr);
    const struct {
        std::string address;
        std::string says;
    } cases[] = {
        {site().baseUrl() + "/video/" + devsite::kOnePartBvid, "不是视频列表的地址"},
        {site().baseUrl() + "/medialist/detail/ml" + devsite::kPrivateFavouritesId, ""},
    };
    for (const auto& c : cases) {
        messages_.clear();
        ASSERT_TRUE(add(window, c.address)) << c.address;
        ASSERT_EQ(messages_.texts().size(), 1u) << c.address;
        if (!c.says.empty()) EXPECT_EQ(messages_.texts()[0], c.says);
        EXPECT_FALSE(messages_.texts()[0].empty());
        EXPECT_EQ(window->model()->rowCount(), 0) << c.address;
        EXPECT_TRUE(window->addButton()->isEnabled());
    }
    EXPECT_TRUE(core_->subscriptions->subscriptions().empty());
}

TEST_F(SubscriptionsWindowTest, CheckNowPutsANewVideosPartsInTheListOnce) {
    ASSERT_NO_FATAL_FAILURE(startSchedule());
    SubscriptionsWindow* window = openWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(add(window, site().baseUrl() + "/" + devsite::kUploaderMid));
    ASSERT_TRUE(checkedNow(window, 0, now_));
    const std::string bvid = site().addNewVideo();
    window->table()->selectRow(0);

    for (const int expected : {1, 0}) {
        now_ += 1;  // each check shows its own time
        QTest::mouseClick(window->checkButton(), Qt::LeftButton);
        ASSERT_TRUE(checkedNow(window, 0, now_)) << expected;
        EXPECT_EQ(window->model()->index(0, SubscriptionsModel::NewVideosColumn).data().toString(),
                  QString::number(expected));
        EXPECT_EQ(partsOf(bvid), 1);
    }
    const std::vector<CheckOutcome> outcomes = checks_->outcomes();
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(newVideosNotice(outcomes[1]), QStringLiteral("订阅「") +
                                                toQString(outcomes[1].checked.name) +
                                                QStringLiteral("」：1个新视频"));
}

TEST_F(SubscriptionsWindowTest, PausedIsNotDueAndRemovedLeavesItsParts) {
    ASSERT_NO_FATAL_FAILURE(startSchedule());
    SubscriptionsWindow* window = openWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(add(window, site().baseUrl() + "/" + devsite::kUploaderMid));
    ASSERT_TRUE(checkedNow(window, 0, now_));
    window->table()->selectRow(0);
    EXPECT_EQ(window->pauseButton()->text(), "暂停订阅");
    QTest::mouseClick(window->pauseButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->model()->subscriptions()[0].paused; }));
    EXPECT_EQ(window->pauseButton()->text(), "继续订阅");
    EXPECT_EQ(window->model()->index(0, SubscriptionsModel::NextCheckColumn).data().toString(), "");
    EXPECT_EQ(core_->subscriptions->nextCheck(), 0);

    // Paused, 立即检查 still checks it; resumed, it is due again.
    const std::string bvid = site().addNewVideo();
    now_ += 1;
    QTest::mouseClick(window->checkButton(), Qt::LeftButton);
    ASSERT_TRUE(checkedNow(window, 0, now_));
    EXPECT_EQ(partsOf(bvid), 1);
    QTest::mouseClick(window->pauseButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->model()->subscriptions()[0].paused; }));
    EXPECT_EQ(core_->subscriptions->nextCheck(), now_ + kDefaultCheckInterval);

    QTest::mouseClick(window->removeButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->model()->rowCount() == 0; }));
    EXPECT_TRUE(core_->subscriptions->subscriptions().empty());
    EXPECT_EQ(partsOf(bvid), 1);
}

TEST_F(SubscriptionsWindowTest, OnlyTheSubscriptionsDueAreCheckedAtStart) {
    const std::string bvid = site().addNewVideo();
    {
        std::unique_ptr<SubscriptionStore> store = SubscriptionStore::open(storePath()).store;
        ASSERT_TRUE(store);
        for (const std::int64_t next : {now_ + 3600, now_ - 3600}) {
            Subscription subscription;
            subscription.address = site().baseUrl() + "/" + devsite::kUploaderMid;
            subscription.name = "up";
            subscription.folder = (folder() / "subscribed" / "up").string();
            subscription.since = now_ - 60;
            subscription.nextCheck = next;
            ASSERT_NE(store->add(subscription), 0);
        }
    }
    ASSERT_NO_FATAL_FAILURE(startSchedule());
    // The one due is checked in the pass that looked at the other first.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return core_->subscriptions->subscriptions()[1].lastCheck == now_; }, 30000));
    const std::vector<Subscription> after = core_->subscriptions->subscriptions();
    EXPECT_EQ(after[0].lastCheck, 0);
    EXPECT_GE(after[1].newCount, 1);  // with what the suite's other tests published
    EXPECT_EQ(partsOf(bvid), 1);
    EXPECT_EQ(core_->subscriptions->nextCheck(), now_ + 3600);
}

}  // namespace
}  // namespace quivra

// The 视频列表 window against the local site: rows page by page, the stop button, closing
// while listing, the selection buttons never taking a greyed row, 下载选中 queueing every
// part under the list's folder, and the main window's 解析 routing list addresses to it.
#include "app/video_list_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>

#include <filesystem>
#include <optional>
#include <set>

#include "download/list/download_queue.h"
#include "download/thread_pool.h"
#include "main_window_fixture.h"

namespace quivra {
namespace {

constexpr const char* kUploaderPath = "/x/space/wbi/arc/search";

class VideoListWindowTest : public MainWindowTest {
  protected:
    void SetUp() override {
        windowQueue_ = queue_;
        MainWindowTest::SetUp();
        sharedState().download.update(
            [&](DownloadSettings& s) { s.directory = (folder() / "lists").string(); });
    }

    void TearDown() override {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<VideoListWindow*>(widget)) delete widget;
        }
        site().setDelayMs(kUploaderPath, 0);
        site().refuseListRequests(0, 0);
        MainWindowTest::TearDown();
    }

    static ListAddress address(ListKind kind, std::string id, std::string mid = "") {
        ListAddress list;
        list.kind = kind;
        list.id = std::move(id);
        list.ownerMid = std::move(mid);
        return list;
    }

    QPointer<VideoListWindow> open(const ListAddress& list) {
        return VideoListWindow::open(core_, list);
    }

    static bool waitListed(const VideoListWindow* window, int timeoutMs = 60000) {
        return QTest::qWaitFor([&] { return !window->isListing(); }, timeoutMs);
    }

    ThreadPool idlePool_;  // never started: queued parts stay where the test counts them
    std::shared_ptr<DownloadQueue> queue_ =
        std::make_shared<DownloadQueue>(idlePool_, test::programJob());
};

TEST_F(VideoListWindowTest, UploaderIsListedPageByPageToTwoThousandRows) {
    QPointer<VideoListWindow> window = open(address(ListKind::Uploader, "", devsite::kUploaderMid));
    EXPECT_EQ(window->windowTitle(), "视频列表");
    std::vector<int> insertions;
    bool insertedWhileListing = false;
    QObject::connect(window->model(), &QAbstractItemModel::rowsInserted, window,
                     [&](const QModelIndex&, int first, int last) {
                         insertions.push_back(last - first + 1);
                         insertedWhileListing |= window->isListing();
                     });
    ASSERT_TRUE(waitListed(window));

    EXPECT_EQ(window->model()->rowCount(), devsite::kUploaderVideoCount);
    EXPECT_EQ(window->statusLabel()->text(), "已列出2000/2000");
    EXPECT_FALSE(window->stopButton()->isEnabled());
    EXPECT_TRUE(window->headerLabel()->text().startsWith("UP主投稿："));
    EXPECT_GT(window->headerLabel()->text().size(), QString("UP主投稿：").size());
    EXPECT_TRUE(insertedWhileListing);
    EXPECT_EQ(insertions.size(), 67u);  // one insertion a page of 30, none a row
    for (int rows : insertions) EXPECT_LE(rows, 30);
    for (int row : {0, 999, 1999}) {
        const QModelIndex bv = window->model()->index(row, VideoListModel::BvidColumn);
        EXPECT_EQ(bv.data().toString().toStdString(), devsite::uploaderBvid(row));
        EXPECT_EQ(window->model()->index(row, VideoListModel::NumberColumn).data().toInt(),
                  row + 1);
        EXPECT_FALSE(window->model()
                         ->index(row, VideoListModel::PublishedColumn)
                         .data()
                         .toString()
                         .isEmpty());
    }
}

TEST_F(VideoListWindowTest, StopEndsTheListingWithTheRowsItRead) {
    site().setDelayMs(kUploaderPath, 100);
    QPointer<VideoListWindow> window = open(address(ListKind::Uploader, "", devsite::kUploaderMid));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->model()->rowCount() >= 60; }, 30000));
    QTest::mouseClick(window->stopButton(), Qt::LeftButton);
    ASSERT_TRUE(waitListed(window, 5000));

    const int rows = window->model()->rowCount();
    EXPECT_LT(rows, devsite::kUploaderVideoCount);
    EXPECT_EQ(rows % 30, 0);
    EXPECT_TRUE(window->statusLabel()->text().startsWith(QString("已列出%1/2000").arg(rows)));
    const size_t requests = site().requestsTo(kUploaderPath).size();
    QTest::qWait(400);
    EXPECT_EQ(site().requestsTo(kUploaderPath).size(), requests);
    EXPECT_EQ(window->model()->rowCount(), rows);
}

TEST_F(VideoListWindowTest, ARefusalIsWaitedOutInTheStatusLineAndStopEndsTheWait) {
    site().refuseListRequests(3, -412);  // the third page
    QPointer<VideoListWindow> window = open(address(ListKind::Uploader, "", devsite::kUploaderMid));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->statusLabel()->text() == "请求过于频繁，5秒后继续"; }, 5000));
    EXPECT_TRUE(window->isListing());
    QTest::mouseClick(window->stopButton(), Qt::LeftButton);
    ASSERT_TRUE(waitListed(window, 1000));
    EXPECT_EQ(window->model()->rowCount(), 60);
}

TEST_F(VideoListWindowTest, AListTheSiteRefusesSaysWhy) {
    struct Case {
        ListAddress list;
        const char* reason;
    };
    const Case cases[] = {
        {address(ListKind::Favourites, devsite::kPrivateFavouritesId), "访问权限不足"},
        {address(ListKind::WatchLater, ""), "登录"},  // no login
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        QPointer<VideoListWindow> window = open(c.list);
        ASSERT_TRUE(waitListed(window));
        EXPECT_EQ(window->model()->rowCount(), 0);
        EXPECT_TRUE(window->statusLabel()->text().startsWith("已列出0"));
        EXPECT_TRUE(window->statusLabel()->text().contains(QString::fromUtf8(c.reason)))
            << window->statusLabel()->text().toStdString();
    }
}

TEST_F(VideoListWindowTest, ClosingWhileListingNeitherBlocksNorListsOn) {
    site().setDelayMs(kUploaderPath, 600);
    QPointer<VideoListWindow> window = open(address(ListKind::Uploader, "", devsite::kUploaderMid));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !site().requestsTo(kUploaderPath).empty(); }, 5000));
    QElapsedTimer closing;
    closing.start();
    window->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 1000));
    EXPECT_LT(closing.elapsed(), 300);
    QTest::qWait(1500);  // the page asked before the close comes back, no other is asked
    EXPECT_LE(site().requestsTo(kUploaderPath).size(), 2u);
}

TEST_F(VideoListWindowTest, SelectionsNeverCheckARowThatCannotBeDownloaded) {
    QPointer<VideoListWindow> window = open(address(ListKind::Favourites, devsite::kFavouritesId));
    ASSERT_TRUE(waitListed(window));
    VideoListModel* model = window->model();
    ASSERT_EQ(model->rowCount(), 25);

    std::set<size_t> greyed;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex number = model->index(row, VideoListModel::NumberColumn);
        if (model->flags(number) & Qt::ItemIsEnabled) continue;
        greyed.insert(static_cast<size_t>(row));
        EXPECT_FALSE(model->flags(number) & Qt::ItemIsUserCheckable);
        EXPECT_FALSE(model->setData(number, Qt::Checked, Qt::CheckStateRole));
        EXPECT_FALSE(model->index(row, VideoListModel::StateColumn).data().toString().isEmpty());
    }
    ASSERT_EQ(greyed.size(), 2u);  // the removed video and the audio
    const auto checked = [&] {
        const std::vector<size_t> rows = model->checkedRows();
        for (size_t row : rows) EXPECT_FALSE(greyed.count(row)) << "row " << row;
        return rows.size();
    };

    QTest::mouseClick(window->selectAllButton(), Qt::LeftButton);
    EXPECT_EQ(checked(), 23u);
    QTest::mouseClick(window->invertButton(), Qt::LeftButton);
    EXPECT_EQ(checked(), 0u);
    model->setData(model->index(0, VideoListModel::NumberColumn), Qt::Checked, Qt::CheckStateRole);
    QTest::mouseClick(window->invertButton(), Qt::LeftButton);
    EXPECT_EQ(checked(), 22u);

    // The newest and oldest publication days of the videos bound the date range.
    QDate first, last;
    QString someTitle;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (greyed.count(static_cast<size_t>(row))) continue;
        const QDate day = QDateTime::fromSecsSinceEpoch(model->entries()[row].published).date();
        if (!first.isValid() || day < first) first = day;
        if (!last.isValid() || day > last) last = day;
        someTitle = model->index(row, VideoListModel::TitleColumn).data().toString();
    }
    ASSERT_TRUE(first.isValid());
    struct Case {
        const char* what;
        std::optional<QDate> since;
        std::optional<QDate> until;
        QString match;
        std::optional<size_t> count;  // nullopt: at least one, fewer than all
    };
    const Case cases[] = {
        {"the whole range", first, last, "", 23u},
        {"after the newest", last.addDays(1), std::nullopt, "", 0u},
        {"before the oldest", std::nullopt, first.addDays(-1), "", 0u},
        {"a removed video's title", std::nullopt, std::nullopt, "已失效视频", 0u},
        {"one video's title", std::nullopt, std::nullopt, someTitle, std::nullopt},
        {"nothing asked", std::nullopt, std::nullopt, "", 23u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window->sinceBox()->setChecked(c.since.has_value());
        if (c.since) window->sinceDate()->setDate(*c.since);
        window->untilBox()->setChecked(c.until.has_value());
        if (c.until) window->untilDate()->setDate(*c.until);
        window->matchEdit()->setText(c.match);
        QTest::mouseClick(window->selectMatchingButton(), Qt::LeftButton);
        if (c.count) {
            EXPECT_EQ(checked(), *c.count);
        } else {
            const size_t count = checked();
            EXPECT_GE(count, 1u);
            EXPECT_LT(count, 23u);
        }
    }
}

TEST_F(VideoListWindowTest, DownloadSelectedQueuesEveryPartUnderTheListsFolder) {
    // Watch later needs the login: the window reads it as the other windows do.
    sharedState().user.update([](UserRecord& user) { user.cookie = devsite::kPlainCookie; });
    QPointer<VideoListWindow> window = open(address(ListKind::WatchLater, ""));
    ASSERT_TRUE(waitListed(window));
    ASSERT_EQ(window->model()->rowCount(), devsite::kWatchLaterCount);

    QTest::mouseClick(window->downloadButton(), Qt::LeftButton);  // nothing checked yet
    ASSERT_EQ(messages_.texts().size(), 1u);
    EXPECT_TRUE(queue_->items().empty());

    QTest::mouseClick(window->selectAllButton(), Qt::LeftButton);
    // The window's 下载内容 reaches every part it queues.
    window->findChild<QComboBox*>("组合框_downloadContent")->setCurrentText("仅视频");
    QTest::mouseClick(window->downloadButton(), Qt::LeftButton);
    EXPECT_FALSE(window->downloadButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->downloadButton()->isEnabled(); }, 60000));

    for (int row = 0; row < window->model()->rowCount(); ++row) {
        const QString state =
            window->model()->index(row, VideoListModel::StateColumn).data().toString();
        EXPECT_TRUE(state.startsWith("已加入")) << state.toStdString();
    }
    // Four one-part videos and the twelve-part one, each in its folder inside the list's.
    const std::filesystem::path downloads = folder() / "lists";
    std::set<std::filesystem::path> listFolders;
    for (const DownloadItem& item : queue_->items()) {
        const std::filesystem::path output = localToUtf8(item.request.outputPath);
        listFolders.insert(output.parent_path().parent_path());
        EXPECT_EQ(item.request.content, DownloadContent::VideoOnly);
    }
    EXPECT_EQ(queue_->items().size(), 4u + 12u);
    ASSERT_EQ(listFolders.size(), 1u);
    EXPECT_EQ(listFolders.begin()->parent_path(), downloads);
}

TEST_F(VideoListWindowTest, ParseOnAListAddressOpensTheListWindowAndOnAVideoStillParses) {
    const auto listWindows = [] {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<VideoListWindow*>(widget) && widget->isVisible()) ++count;
        }
        return count;
    };
    window_->setVideoUrl(QStringLiteral("ml") + devsite::kFavouritesId);
    QTest::mouseClick(window_->parseButton(), Qt::LeftButton);
    EXPECT_EQ(listWindows(), 1);
    EXPECT_EQ(window_->list()->topLevelItemCount(), 0);
    EXPECT_TRUE(site().requestsTo("/x/web-interface/view").empty());

    window_->setVideoUrl(QStringLiteral("ml30x"));  // a list, but no number to ask for
    QTest::mouseClick(window_->parseButton(), Qt::LeftButton);
    EXPECT_EQ(listWindows(), 1);
    EXPECT_EQ(messages_.texts(), std::vector<std::string>{"收藏夹编号不是数字：30x"});

    ASSERT_TRUE(parse(QString::fromUtf8(devsite::kThreePartBvid)));
    EXPECT_EQ(window_->list()->topLevelItemCount(), 3);
    EXPECT_EQ(listWindows(), 1);
}

}  // namespace
}  // namespace quivra

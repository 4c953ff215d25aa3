// The download list window over a queue whose pool does not run, so items stay where the
// test puts them: the menu item, the rows newest first, the bottom line and the context
// menu's commands.
#include "app/download_list_window.h"

#include <QAction>
#include <QDateTime>
#include <QDesktopServices>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QTableView>
#include <QUrl>

#include <filesystem>
#include <fstream>

#include "app/download_list_model.h"
#include "base/config_file.h"
#include "base/keep_settings.h"
#include "base/setting_windows.h"
#include "download/job/progress_text.h"
#include "download/list/download_queue.h"
#include "download/thread_pool.h"
#include "main_window_fixture.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;

// Catches the files and folders the window hands to the desktop.
class FileOpener : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> urls;

  public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class DownloadListWindowTest : public MainWindowTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(resetRecords());
        directory_ = folder() / "list";
        fs::remove_all(directory_);
        fs::create_directories(directory_ / "temp");
        const std::pair<ItemState, const char*> states[] = {{ItemState::Done, ""},
                                                            {ItemState::Failed, "任务超时"},
                                                            {ItemState::Cancelled, ""},
                                                            {ItemState::Paused, "已暂停"}};
        std::vector<DownloadItem> items;
        for (const auto& [state, text] : states) {
            DownloadItem item = part(static_cast<int>(items.size()) + 1);
            item.state = state;
            item.errorText = localText(text);
            items.push_back(item);
        }
        items[0].bytesTotal = items[0].bytesDone = 3 * 1024 * 1024 + 307200;
        items[0].finishedAt = 1700000000;
        queue_ = std::make_shared<DownloadQueue>(idlePool_, test::programJob(), nullptr, items);
        queued_ = queue_->submit(part(5).request).item.id;  // waits: the pool does not run
        windowQueue_ = queue_;
        MainWindowTest::SetUp();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener_, "open");
        for (QAction* menu : window_->menuBar()->actions()) {
            for (QAction* item : menu->menu()->actions()) {
                if (menu->text() == "其他功能" && item->text() == "下载列表") item->trigger();
            }
        }
        list_ = findList();
        ASSERT_TRUE(list_);
    }

    void TearDown() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        delete list_.data();
        MainWindowTest::TearDown();
    }

    static DownloadListWindow* findList() {
        DownloadListWindow* found = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* list = qobject_cast<DownloadListWindow*>(widget)) found = list;
        }
        return found;
    }

    // Part n of a video, each with its own cid and output file.
    DownloadItem part(int n) const {
        DownloadItem item;
        item.id = n;
        DownloadRequest& request = item.request;
        request.bvid = "BV1xx411c7mD";
        request.videoTitle = localText("视频");
        request.cid = std::to_string(4000 + n);
        request.pageTitle = localText("第") + std::to_string(n) + localText("集");
        request.pageNumber = n;
        request.videoQuality = 64;
        request.qualityName = localText("720P 高清");
        request.directory = directory_.string();
        request.outputPath = (directory_ / ("0" + std::to_string(n) + ".mp4")).string();
        return item;
    }

    QString cell(int row, int column) const {
        return list_->model()->index(row, column).data().toString();
    }

    void select(std::initializer_list<int> rows) {
        list_->table()->clearSelection();
        for (int row : rows) {
            list_->table()->selectionModel()->select(
                list_->model()->index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        list_->prepareMenu();
    }

    QAction* action(const QString& text) const {
        for (QAction* action : list_->contextMenu()->actions()) {
            if (action->text() == text) return action;
        }
        return nullptr;
    }

    // The commands on items usable now; the checkable switches are settings, not commands.
    QStringList enabledActions() const {
        QStringList names;
        for (QAction* action : list_->contextMenu()->actions()) {
            if (!action->isSeparator() && !action->isCheckable() && action->isEnabled()) {
                names << action->text();
            }
        }
        return names;
    }

    ItemState stateOf(std::int64_t id) const { return queue_->item(id)->state; }

    ThreadPool idlePool_;  // never started
    std::shared_ptr<DownloadQueue> queue_;
    std::int64_t queued_ = 0;
    fs::path directory_;
    QPointer<DownloadListWindow> list_;
    FileOpener opener_;
};

TEST_F(DownloadListWindowTest, MenuOpensOneListOfEveryItemNewestFirst) {
    EXPECT_EQ(list_->windowTitle(), "下载列表");
    EXPECT_TRUE(window_->isVisible());  // downloads go on beside the main window
    window_->openDownloadListWindow();
    EXPECT_EQ(findList(), list_.data());

    QStringList headers;
    for (int column = 0; column < list_->model()->columnCount(); ++column) {
        headers << list_->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    EXPECT_EQ(headers, QStringList({"视频/分P", "清晰度", "大小", "进度", "速度", "剩余时间",
                                    "状态", "完成时间"}));
    const QStringList states = {"等待下载", "已暂停", "已取消", "任务超时", "下载完成"};
    ASSERT_EQ(list_->model()->rowCount(), states.size());
    for (int row = 0; row < states.size(); ++row) {
        EXPECT_EQ(cell(row, DownloadListModel::StateColumn), states[row]) << row;
        EXPECT_EQ(cell(row, DownloadListModel::TitleColumn),
                  QStringLiteral("视频 / 第%1集").arg(5 - row));
        EXPECT_EQ(cell(row, DownloadListModel::QualityColumn), "720P 高清");
    }
    EXPECT_EQ(cell(4, DownloadListModel::SizeColumn), "3.3 MB");
    EXPECT_EQ(cell(4, DownloadListModel::ProgressColumn), "100%");
    EXPECT_EQ(cell(4, DownloadListModel::FinishedColumn),
              QDateTime::fromSecsSinceEpoch(1700000000).toString("yyyy-MM-dd HH:mm"));
    EXPECT_EQ(list_->summaryLabel()->text(), "下载中 0 个，等待 1 个，已完成 1 个，总速度 0 KB/s");

    // A running item's figures, as its job reports them.
    DownloadItem running = part(6);
    running.id = queued_ + 1;  // the newest
    running.state = ItemState::Running;
    running.bytesDone = 1024 * 1024;
    running.bytesTotal = 6 * 1024 * 1024;
    running.speed = 1024 * 1024;
    list_->model()->update(running);
    EXPECT_EQ(cell(0, DownloadListModel::ProgressColumn), "16%");
    EXPECT_EQ(cell(0, DownloadListModel::SpeedColumn), "1.0 MB/s");
    EXPECT_EQ(cell(0, DownloadListModel::RemainingColumn), "0:05");
    EXPECT_EQ(remainingText(3 * 3600 + 61), "3:01:01");
}

TEST_F(DownloadListWindowTest, OpensBesideTheMainWindowWithEveryColumnWholeAndReopensAsClosed) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list_));
    // The video as the site names it, not its folder.
    DownloadRequest titled = part(6).request;
    titled.videoTitle = localText("测试_视频_Test__第1集_");
    titled.siteTitle = localText("测试 视频 Test (第1集)");
    queue_->submit(titled);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return cell(0, DownloadListModel::TitleColumn) == "测试 视频 Test (第1集) / 第6集";
    }));
    EXPECT_FALSE(list_->frameGeometry().intersects(window_->frameGeometry()));
    EXPECT_TRUE(window_->screen()->availableGeometry().contains(list_->frameGeometry()));
    const QTableView* table = list_->table();
    const QHeaderView* header = table->horizontalHeader();
    for (int column = 0; column < DownloadListModel::ColumnCount; ++column) {
        SCOPED_TRACE(column);
        EXPECT_LE(header->sectionViewportPosition(column) + header->sectionSize(column),
                  table->viewport()->width());
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column));
        // A long title may be cut; every other column shows its texts whole.
        if (column != DownloadListModel::TitleColumn) {
            const QAbstractItemView* view = table;  // the hint is public there
            EXPECT_GE(header->sectionSize(column), view->sizeHintForColumn(column));
        }
    }
    list_->resize(700, 400);
    list_->move(300, 500);
    list_->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list_.isNull(); }, 2000));
    window_->openDownloadListWindow();
    list_ = findList();
    ASSERT_TRUE(list_);
    EXPECT_EQ(list_->size(), QSize(700, 400));
    EXPECT_EQ(list_->pos(), QPoint(300, 500));
}

TEST_F(DownloadListWindowTest, ContextMenuCommandsActOnTheSelectedItems) {
    // Rows: 0 queued (5), 1 paused (4), 2 cancelled (3), 3 failed (2), 4 done (1).
    select({3, 2});
    EXPECT_EQ(enabledActions(),
              QStringList({"取消", "重新下载", "打开所在文件夹", "从列表中移除"}));
    select({4});
    EXPECT_EQ(enabledActions(), QStringList({"打开所在文件夹", "播放", "从列表中移除"}));

    select({0});
    action("暂停")->trigger();
    EXPECT_EQ(stateOf(queued_), ItemState::Paused);
    select({1});
    action("继续")->trigger();
    EXPECT_EQ(stateOf(4), ItemState::Queued);
    select({3});
    action("重新下载")->trigger();
    EXPECT_EQ(stateOf(2), ItemState::Queued);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return cell(3, DownloadListModel::StateColumn) == "等待下载"; }));
    EXPECT_EQ(cell(0, DownloadListModel::StateColumn), "已暂停");

    // Cancel takes the temporary streams of the part, and only of that part.
    const fs::path temp = directory_ / "temp";
    for (const char* name : {"4005.mp4", "4005.mp4.aria2", "4005.mp3", "4001.mp4"}) {
        std::ofstream(temp / name) << "partial";
    }
    select({0});
    action("取消")->trigger();
    EXPECT_EQ(stateOf(queued_), ItemState::Cancelled);
    EXPECT_FALSE(fs::exists(temp / "4005.mp4"));
    EXPECT_FALSE(fs::exists(temp / "4005.mp4.aria2"));
    EXPECT_FALSE(fs::exists(temp / "4005.mp3"));
    EXPECT_TRUE(fs::exists(temp / "4001.mp4"));

    std::ofstream(directory_ / "01.mp4") << "finished";
    select({4, 3});
    action("播放")->trigger();
    action("打开所在文件夹")->trigger();
    EXPECT_EQ(
        opener_.urls,
        QList<QUrl>({QUrl::fromLocalFile(QString::fromStdString((directory_ / "01.mp4").string())),
                     QUrl::fromLocalFile(QString::fromStdString(directory_.string()))}));

    select({4});
    action("从列表中移除")->trigger();
    EXPECT_FALSE(queue_->item(1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return list_->model()->rowCount() == 4; }));
    EXPECT_TRUE(fs::exists(directory_ / "01.mp4"));
    EXPECT_EQ(list_->summaryLabel()->text(), "下载中 0 个，等待 2 个，已完成 0 个，总速度 0 KB/s");
}

}  // namespace
}  // namespace quivra

#include "download_list_window_test.moc"

namespace quivra {
namespace {

TEST_F(DownloadListWindowTest, MenuSwitchesBetweenTheStoredLimitAndNone) {
    auto* limit = list_->findChild<QAction*>(QStringLiteral("菜单_speedLimit"));
    ASSERT_NE(limit, nullptr);
    EXPECT_FALSE(limit->isEnabled());  // no limit set: nothing to switch

    keepSettings({{SettingKey::SpeedLimit, 512 << 10}});  // as the settings window stores it
    emit list_->contextMenu()->aboutToShow();
    EXPECT_EQ(limit->text(), "限速下载（512 KB/s）");
    EXPECT_TRUE(limit->isEnabled());
    EXPECT_TRUE(limit->isChecked());

    limit->trigger();
    EXPECT_FALSE(sharedState().download.get().speedLimitOn);
    EXPECT_EQ(effectiveSpeedLimit(sharedState().download.get(), systemLocalMinutes()), 0);
    EXPECT_EQ(readConfigItem(sharedState().configPath, "download", "speedLimitOn"), "0");
    EXPECT_EQ(readConfigItem(sharedState().configPath, "download", "speedLimit"), "512");
    limit->trigger();
    EXPECT_EQ(effectiveSpeedLimit(sharedState().download.get(), systemLocalMinutes()), 512 << 10);
}

// The menu's 下载时段 switches the stored window on and off, naming it; a broken window
// cannot be switched.
TEST_F(DownloadListWindowTest, MenuSwitchesTheDownloadWindow) {
    auto* window = list_->findChild<QAction*>(QStringLiteral("菜单_downloadWindowOn"));
    ASSERT_NE(window, nullptr);
    emit list_->contextMenu()->aboutToShow();
    EXPECT_EQ(window->text(), "下载时段（01:00-07:00）");
    EXPECT_FALSE(window->isChecked());
    window->trigger();
    EXPECT_EQ(readConfigItem(sharedState().configPath, "download", "downloadWindowOn"), "1");

    keepSettings({{SettingKey::DownloadWindow, std::string("7-1")}});  // as a hand-edited file
    emit list_->contextMenu()->aboutToShow();
    EXPECT_FALSE(window->isEnabled());
    EXPECT_FALSE(window->isChecked());
}

}  // namespace
}  // namespace quivra

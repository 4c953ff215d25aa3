// The search window on the offscreen platform against the local site.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <map>
#include <string>
#include <vector>

#include "app/batch_window.h"
#include "app/search_window.h"
#include "devsite/dev_site.h"
#include "download/list/download_queue.h"
#include "download/thread_pool.h"
#include "main_window_fixture.h"
#include "search/search_worker.h"

namespace quivra {
namespace {

constexpr const char* kSearchPath = "/x/web-interface/search/all/v2";

// Catches the addresses the window hands to the desktop's browser.
class UrlCatcher : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> urls;

  public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class SearchWindowTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        sharedState().site.space = site().baseUrl();
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &urls_, "open");
        window_->openSearchWindow();
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<SearchWindow*>(widget)) search_ = found;
        }
        ASSERT_TRUE(search_);
    }

    void TearDown() override {
        EXPECT_TRUE(QTest::qWaitFor([] { return runningSearchWorkers() == 0; }, 10000));
        delete search_.data();
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        site().clearOverrides();
        MainWindowTest::TearDown();
    }

    QString label() const { return search_->messageLabel()->text(); }
    int rows() const { return search_->list()->topLevelItemCount(); }
    QString cell(int row, int column) const {
        return search_->list()->topLevelItem(row)->text(column);
    }

    // Waits until the label reads text and no search is running any more.
    bool waitForPage(const QString& text) {
        return QTest::qWaitFor([&] { return runningSearchWorkers() == 0 && label() == text; },
                               10000);
    }

    bool searchFor(const QString& keyword) {
        search_->keywordEdit()->setText(keyword);
        QTest::mouseClick(search_->searchButton(), Qt::LeftButton);
        return QTest::qWaitFor([] { return runningSearchWorkers() == 0; }, 10000);
    }

    bool jumpTo(const QString& text) {
        search_->pageNumEdit()->setText(text);
        QTest::mouseClick(search_->jumpButton(), Qt::LeftButton);
        return QTest::qWaitFor([] { return runningSearchWorkers() == 0; }, 10000);
    }

    QAction* menuItem(const QString& text) const {
        for (QAction* action : search_->contextMenu()->actions()) {
            if (action->text() == text) return action;
        }
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return nullptr;
    }

    // Right-click on the list: the menu pops up with its items set for the page shown.
    bool popUpMenu() {
        emit search_->list()->customContextMenuRequested(QPoint(10, 10));
        const bool shown = search_->contextMenu()->isVisible();
        search_->contextMenu()->hide();
        return shown;
    }

    // Enabled state of 首页, 上一页, 下一页, 尾页.
    std::vector<bool> pagingItems() const {
        std::vector<bool> enabled;
        for (const char* text : {"首页", "上一页", "下一页", "尾页"}) {
            enabled.push_back(menuItem(QString::fromUtf8(text))->isEnabled());
        }
        return enabled;
    }

    // Chooses a menu item, then waits for the search it started.
    bool choose(const char* text) {
        menuItem(QString::fromUtf8(text))->trigger();
        return QTest::qWaitFor([] { return runningSearchWorkers() == 0; }, 10000);
    }

    std::string lastQuery() const {
        const auto requests = site().requestsTo(kSearchPath);
        return requests.empty() ? std::string() : requests.back().query;
    }

    void selectRow(int row) { search_->list()->setCurrentItem(search_->list()->topLevelItem(row)); }

    QPointer<SearchWindow> search_;
    UrlCatcher urls_;
};

TEST_F(SearchWindowTest, OpensWithItsLayoutInPlaceOfTheMainWindowAndClosesBackToIt) {
    EXPECT_TRUE(search_->isVisible());
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(search_->windowTitle(), QStringLiteral("搜索窗口"));
    EXPECT_EQ(search_->pos(), QPoint(50, 50));
    EXPECT_EQ(search_->size(), QSize(980, 436));

    struct Control {
        const char* name;
        const char* text;
        QRect place;
    };
    const Control controls[] = {
        {"透明标签1", "关键字：", {8, 8, 88, 32}},
        {"编辑框_keyword", "", {56, 8, 176, 32}},
        {"按钮_搜索", "搜索", {240, 8, 72, 32}},
        {"透明标签2", "页码：", {320, 8, 80, 32}},
        {"编辑框_pageNum", "", {352, 8, 40, 32}},
        {"按钮_jumpPageNum", "跳转", {400, 8, 56, 32}},
        {"透明标签_message", "", {464, 8, 504, 32}},
        {"超级列表框_videoData", "", {8, 48, 960, 352}},
    };
    for (const Control& control : controls) {
        QWidget* widget = search_->findChild<QWidget*>(QString::fromUtf8(control.name));
        ASSERT_NE(widget, nullptr) << control.name;
        EXPECT_EQ(widget->geometry(), control.place) << control.name;
        QString text;
        if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) text = edit->text();
        if (auto* button = qobject_cast<QPushButton*>(widget)) text = button->text();
        EXPECT_EQ(text, QString::fromUtf8(control.text)) << control.name;
    }

    QTreeWidget* list = search_->list();
    const char* headers[] = {"#",        "标题",     "作者",     "时长", "发布时间", "播放数量",
                             "弹幕数量", "评论数量", "收藏数量", "bvid", "作者id",   "封面地址"};
    const int widths[] = {25, 400, 100, 60, 130, 60, 60, 60, 60, 0, 0, 0};
    ASSERT_EQ(list->columnCount(), 12);
    for (int column = 0; column < 12; ++column) {
        EXPECT_EQ(list->headerItem()->text(column), QString::fromUtf8(headers[column]));
        EXPECT_EQ(list->isColumnHidden(column), column >= 9) << column;
        EXPECT_EQ(list->columnWidth(column), widths[column]) << column;
    }
    EXPECT_EQ(rows(), 0);

    QMenu* menu = search_->contextMenu();
    EXPECT_EQ(menu->objectName(), QStringLiteral("超级列表框菜单"));
    QStringList items;
    for (QAction* action : menu->actions()) {
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    // The described items first, the download items after them.
    EXPECT_EQ(items.join(','), QStringLiteral("首页,上一页,下一页,尾页,-,观看此视频,查看作者主页,-,"
                                              "解析此视频,-,下载此视频,下载选中的视频"));
    EXPECT_FALSE(popUpMenu());  // an empty list has no menu

    search_->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return search_.isNull(); }, 2000));
    EXPECT_TRUE(window_->isVisible());
}

// Characters that local text cannot hold must not reach the site as "?" (%3F).
TEST_F(SearchWindowTest, AnEmojiInTheKeywordReachesTheSiteAsItsUtf8Bytes) {
    ASSERT_TRUE(searchFor(QStringLiteral("猫😀")));
    EXPECT_EQ(lastQuery(), "keyword=%E7%8C%AB%F0%9F%98%80&page=1&pagesize=20");
}

TEST_F(SearchWindowTest, ShowsAPageOfHitsWithLabelPageBoxAndEveryColumn) {
    ASSERT_TRUE(searchFor(QStringLiteral("练习 Qt-6.5")));
    EXPECT_EQ(label(), QStringLiteral("第1页/共50页 1000条"));
    EXPECT_EQ(search_->pageNumEdit()->text(), QStringLiteral("1"));
    EXPECT_EQ(lastQuery(), "keyword=%E7%BB%83%E4%B9%A0%20Qt-6.5&page=1&pagesize=20");
    ASSERT_EQ(rows(), 20);
    EXPECT_EQ(cell(0, 0), QStringLiteral("1"));
    EXPECT_EQ(cell(19, 0), QStringLiteral("20"));
    EXPECT_EQ(cell(0, SearchWindow::TitleColumn), QStringLiteral("第1个 练习 Qt-6.5 练习视频"));
    EXPECT_EQ(cell(0, SearchWindow::BvidColumn), QString::fromUtf8(devsite::kOnePartBvid));
    EXPECT_EQ(cell(0, SearchWindow::AuthorColumn),
              QStringLiteral("作者") + cell(0, SearchWindow::MidColumn));
    EXPECT_TRUE(cell(0, SearchWindow::PicColumn).startsWith(QStringLiteral("https://i0.")));
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d+:\d\d$)"))
                    .match(cell(0, SearchWindow::DurationColumn))
                    .hasMatch());
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\d )"))
                    .match(cell(0, SearchWindow::PubdateColumn))
                    .hasMatch());
    for (int column : {SearchWindow::PlayColumn, SearchWindow::VideoReviewColumn,
                       SearchWindow::ReviewColumn, SearchWindow::FavoritesColumn}) {
        bool number = false;
        cell(0, column).toLongLong(&number);
        EXPECT_TRUE(number) << column;
    }

    // Enter in the keyword box searches its new content from page 1.
    search_->keywordEdit()->setText(QStringLiteral("few"));
    QTest::keyClick(search_->keywordEdit(), Qt::Key_Return);
    ASSERT_TRUE(waitForPage(QStringLiteral("第1页/共1页 7条")));
    EXPECT_EQ(rows(), 7);
    EXPECT_EQ(lastQuery(), "keyword=few&page=1&pagesize=20");
}

TEST_F(SearchWindowTest, PagesThroughFirstPreviousNextLastAndAJump) {
    ASSERT_TRUE(searchFor(QStringLiteral("quivra")));
    ASSERT_EQ(label(), QStringLiteral("第1页/共50页 1000条"));

    ASSERT_TRUE(choose("下一页"));
    EXPECT_EQ(label(), QStringLiteral("第2页/共50页 1000条"));
    EXPECT_EQ(lastQuery(), "keyword=quivra&page=2&pagesize=20");
    EXPECT_EQ(cell(0, 0), QStringLiteral("1"));
    EXPECT_EQ(cell(0, SearchWindow::TitleColumn), QStringLiteral("第21个 quivra 练习视频"));
    EXPECT_EQ(search_->pageNumEdit()->text(), QStringLiteral("2"));

    ASSERT_TRUE(choose("上一页"));
    EXPECT_EQ(label(), QStringLiteral("第1页/共50页 1000条"));

    ASSERT_TRUE(choose("尾页"));
    EXPECT_EQ(label(), QStringLiteral("第50页/共50页 1000条"));
    EXPECT_EQ(cell(19, SearchWindow::TitleColumn), QStringLiteral("第1000个 quivra 练习视频"));

    ASSERT_TRUE(choose("首页"));
    EXPECT_EQ(label(), QStringLiteral("第1页/共50页 1000条"));

    ASSERT_TRUE(jumpTo(QStringLiteral("37")));
    EXPECT_EQ(label(), QStringLiteral("第37页/共50页 1000条"));
    EXPECT_EQ(lastQuery(), "keyword=quivra&page=37&pagesize=20");

    // Paging after an edit of the keyword box searches the new keyword.
    search_->keywordEdit()->setText(QStringLiteral("other"));
    ASSERT_TRUE(choose("下一页"));
    EXPECT_EQ(lastQuery(), "keyword=other&page=38&pagesize=20");
    EXPECT_EQ(cell(0, SearchWindow::TitleColumn), QStringLiteral("第741个 other 练习视频"));
    EXPECT_TRUE(messages_.texts().empty());
}

TEST_F(SearchWindowTest, AnInvalidPageNumberAsksAgainWithTheFocusInThePageBox) {
    ASSERT_TRUE(searchFor(QStringLiteral("quivra")));
    search_->activateWindow();
    const std::size_t requests = site().requestsTo(kSearchPath).size();
    for (const char* text : {"0", "-3", "abc", "51", ""}) {
        messages_.clear();
        search_->keywordEdit()->setFocus();
        ASSERT_TRUE(jumpTo(QString::fromUtf8(text)));
        EXPECT_EQ(messages_.texts(), std::vector<std::string>{"您输入的页码无效，请重新输入。"})
            << text;
        EXPECT_TRUE(search_->pageNumEdit()->hasFocus()) << text;
    }
    EXPECT_EQ(site().requestsTo(kSearchPath).size(), requests);
    EXPECT_EQ(label(), QStringLiteral("第1页/共50页 1000条"));

    // The page count itself, and a number followed by other characters, are accepted.
    messages_.clear();
    ASSERT_TRUE(jumpTo(QStringLiteral("50")));
    EXPECT_EQ(label(), QStringLiteral("第50页/共50页 1000条"));
    ASSERT_TRUE(jumpTo(QStringLiteral("12页")));
    EXPECT_EQ(label(), QStringLiteral("第12页/共50页 1000条"));
    EXPECT_TRUE(messages_.texts().empty());
}

TEST_F(SearchWindowTest, TheMenuOffersOnlyThePagesThatExist) {
    const std::vector<bool> all = {true, true, true, true};
    ASSERT_TRUE(searchFor(QStringLiteral("quivra")));
    ASSERT_TRUE(popUpMenu());
    EXPECT_EQ(pagingItems(), (std::vector<bool>{false, false, true, true}));
    for (const char* other : {"观看此视频", "查看作者主页", "解析此视频"}) {
        EXPECT_TRUE(menuItem(QString::fromUtf8(other))->isEnabled()) << other;
    }

    ASSERT_TRUE(jumpTo(QStringLiteral("20")));
    ASSERT_TRUE(popUpMenu());
    EXPECT_EQ(pagingItems(), all);

    ASSERT_TRUE(choose("尾页"));
    ASSERT_EQ(label(), QStringLiteral("第50页/共50页 1000条"));
    ASSERT_TRUE(popUpMenu());
    EXPECT_EQ(pagingItems(), (std::vector<bool>{true, true, false, false}));

    // One page only: there is nothing before or after it.
    ASSERT_TRUE(searchFor(QStringLiteral("few")));
    ASSERT_EQ(label(), QStringLiteral("第1页/共1页 7条"));
    ASSERT_TRUE(popUpMenu());
    EXPECT_EQ(pagingItems(), (std::vector<bool>{false, false, false, false}));

    // No hits: an empty list, the counts in the label and no menu.
    ASSERT_TRUE(searchFor(QStringLiteral("nothing")));
    EXPECT_EQ(label(), QStringLiteral("第1页/共0页 0条"));
    EXPECT_EQ(rows(), 0);
    EXPECT_FALSE(popUpMenu());
}

TEST_F(SearchWindowTest, AnUnusableAnswerLeavesThePreviousPageOnScreen) {
    ASSERT_TRUE(searchFor(QStringLiteral("quivra")));
    ASSERT_TRUE(choose("下一页"));
    ASSERT_EQ(label(), QStringLiteral("第2页/共50页 1000条"));
    const QString firstTitle = cell(0, SearchWindow::TitleColumn);

    site().overrideAnswer(kSearchPath, 200, "<html><body>稍后再试</body></html>", "text/html", 1);
    ASSERT_TRUE(choose("下一页"));
    EXPECT_EQ(lastQuery(), "keyword=quivra&page=3&pagesize=20");
    EXPECT_EQ(messages_.texts(), std::vector<std::string>{"json解析失败，请重试！"});
    EXPECT_EQ(label(), QStringLiteral("第2页/共50页 1000条"));
    EXPECT_EQ(search_->pageNumEdit()->text(), QStringLiteral("2"));
    ASSERT_EQ(rows(), 20);
    EXPECT_EQ(cell(0, SearchWindow::TitleColumn), firstTitle);

    // Paging goes on from the page on screen.
    ASSERT_TRUE(popUpMenu());
    EXPECT_EQ(pagingItems(), (std::vector<bool>{true, true, true, true}));
    ASSERT_TRUE(choose("下一页"));
    EXPECT_EQ(lastQuery(), "keyword=quivra&page=3&pagesize=20");
    EXPECT_EQ(label(), QStringLiteral("第3页/共50页 1000条"));

    // A dead site: the same message, the same page.
    messages_.clear();
    sharedState().site.api = "http://127.0.0.1:1";
    ASSERT_TRUE(choose("首页"));
    EXPECT_EQ(messages_.texts(), std::vector<std::string>{"json解析失败，请重试！"});
    EXPECT_EQ(label(), QStringLiteral("第3页/共50页 1000条"));
}

TEST_F(SearchWindowTest, ASlowFirstSearchNeverReplacesAFasterSecondOne) {
    site().setDelayMs(kSearchPath, 800, 1);
    search_->keywordEdit()->setText(QStringLiteral("slow"));
    QTest::mouseClick(search_->searchButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([] { return site().requestsTo(kSearchPath).size() == 1; }, 5000));
    search_->keywordEdit()->setText(QStringLiteral("few"));
    QTest::keyClick(search_->keywordEdit(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows() == 7; }, 5000));
    EXPECT_GE(runningSearchWorkers(), 1);  // the slow one is still on its way

    ASSERT_TRUE(QTest::qWaitFor([] { return runningSearchWorkers() == 0; }, 10000));
    EXPECT_EQ(label(), QStringLiteral("第1页/共1页 7条"));
    ASSERT_EQ(rows(), 7);
    for (int row = 0; row < rows(); ++row) {
        EXPECT_TRUE(cell(row, SearchWindow::TitleColumn).contains(QStringLiteral(" few "))) << row;
    }
    // The state belongs to the search on screen: a jump beyond its one page is refused.
    ASSERT_TRUE(jumpTo(QStringLiteral("2")));
    EXPECT_EQ(messages_.texts(), std::vector<std::string>{"您输入的页码无效，请重新输入。"});
}

TEST_F(SearchWindowTest, WatchAndAuthorOpenTheSelectedHitInTheBrowser) {
    ASSERT_TRUE(searchFor(QStringLiteral("quivra")));
    menuItem(QStringLiteral("观看此视频"))->trigger();  // nothing selected yet
    EXPECT_TRUE(urls_.urls.isEmpty());

    selectRow(1);
    const QString base = QString::fromStdString(site().baseUrl());
    menuItem(QStringLiteral("观看此视频"))->trigger();
    menuItem(QStringLiteral("查看作者主页"))->trigger();
    ASSERT_EQ(urls_.urls.size(), 2);
    EXPECT_EQ(urls_.urls[0], QUrl(base + "/video/" + QString::fromUtf8(devsite::kTwelvePartBvid)));
    EXPECT_EQ(urls_.urls[1], QUrl(base + "/" + cell(1, SearchWindow::MidColumn)));
    EXPECT_TRUE(search_->isVisible());
}

TEST_F(SearchWindowTest, ParsingAHitClosesTheSearchAndListsItsPartsInTheMainWindow) {
    ASSERT_TRUE(searchFor(QStringLiteral("quivra")));
    selectRow(1);
    menuItem(QStringLiteral("解析此视频"))->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return search_.isNull(); }, 2000));
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(window_->videoUrl(), QString::fromStdString(site().baseUrl()) + "/video/" +
                                       QString::fromUtf8(devsite::kTwelvePartBvid));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->list()->topLevelItemCount() == 12; }, 15000));
    EXPECT_EQ(window_->list()->topLevelItem(11)->text(MainWindow::NumberColumn),
              QStringLiteral("12"));
    const auto views = site().requestsTo("/x/web-interface/view");
    ASSERT_FALSE(views.empty());
    EXPECT_EQ(views.back().query, "bvid=" + std::string(devsite::kTwelvePartBvid));
}

// Several hits selected: every part of each, at the default quality, through the batch
// window; the item on one hit takes the hit clicked last.
TEST_F(SearchWindowTest, SelectedHitsAddEveryPartOfEachToTheDownloadList) {
    ThreadPool idlePool;  // never started: the parts stay queued
    const auto queue = std::make_shared<DownloadQueue>(idlePool, test::programJob());
    const std::shared_ptr<DownloadQueue> previous = std::exchange(core_->queue, queue);
    sharedState().download.update([&](DownloadSettings& s) {
        s.directory = (folder() / "search").string();
        s.defaultVideoQuality = localText("720P");
    });
    ASSERT_TRUE(searchFor(QStringLiteral("quivra")));
    EXPECT_EQ(search_->list()->selectionMode(), QAbstractItemView::ExtendedSelection);
    QTreeWidget* list = search_->list();
    selectRow(1);  // made current, then the others selected with it
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    ASSERT_EQ(list->selectedItems().size(), 3);

    menuItem(QStringLiteral("下载选中的视频"))->trigger();
    BatchWindow* batch = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<BatchWindow*>(widget)) batch = found;
    }
    ASSERT_TRUE(batch);
    ASSERT_TRUE(QTest::qWaitFor([&] { return batch->startButton()->isEnabled(); }, 30000));
    ASSERT_EQ(batch->list()->topLevelItemCount(), 3);
    EXPECT_EQ(batch->list()->topLevelItem(0)->text(BatchWindow::AddressColumn),
              QString::fromUtf8(devsite::kOnePartBvid));
    std::map<std::string, int> parts;
    for (const DownloadItem& item : queue->items()) {
        ++parts[item.request.bvid];
        EXPECT_EQ(item.request.videoQuality, 64);
    }
    EXPECT_EQ(parts, (std::map<std::string, int>{{devsite::kOnePartBvid, 1},
                                                 {devsite::kTwelvePartBvid, 12},
                                                 {devsite::kOddTitleBvid, 2}}));

    // 下载此视频 takes the current hit only; its parts are in the list already.
    menuItem(QStringLiteral("下载此视频"))->trigger();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return batch->list()->topLevelItemCount() == 4 && batch->startButton()->isEnabled();
        },
        30000));
    EXPECT_EQ(batch->list()->topLevelItem(3)->text(BatchWindow::AddressColumn),
              QString::fromUtf8(devsite::kTwelvePartBvid));
    EXPECT_EQ(batch->list()->topLevelItem(3)->text(BatchWindow::StateColumn),
              QStringLiteral("已加入12个分P"));
    EXPECT_EQ(queue->items().size(), 15u);
    delete batch;
    core_->queue = previous;
}

}  // namespace
}  // namespace quivra

#include "search_window_test.moc"

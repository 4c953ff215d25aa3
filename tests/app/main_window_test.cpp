#include "app/main_window.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QTreeWidget>

#include <fstream>
#include <functional>
#include <thread>

#include "app/startup.h"
#include "download/job/command_runner.h"
#include "main_window_fixture.h"
#include "support/processes.h"

namespace quivra {
namespace {

using devsite::kOnePartBvid;
using devsite::kTwelvePartBvid;

const std::vector<std::pair<QString, int>> kAllQualities = {
    {"4K 超清", 120},  {"1080P60 高帧率", 116}, {"1080P 高清", 80},
    {"720P 高清", 64}, {"480P 清晰", 32},       {"360P 流畅", 16}};

std::vector<std::pair<QString, int>> comboItems(const QComboBox* box) {
    std::vector<std::pair<QString, int>> items;
    for (int i = 0; i < box->count(); ++i) {
        items.emplace_back(box->itemText(i), box->itemData(i).toInt());
    }
    return items;
}

QStringList rowTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int column = 0; column < 5; ++column) {
        texts << item->text(column);
    }
    return texts;
}

TEST_F(MainWindowTest, LayoutCaptionsAndNamesAreThoseOfTheWindowTable) {
    EXPECT_EQ(window_->windowTitle(), "Quivra视频下载器1.0.6");
    QWidget* client = window_->centralWidget();
    EXPECT_EQ(client->size(), QSize(601, 546));
    EXPECT_EQ(client->y(), window_->menuBar()->height());

    struct Expected {
        const char* name;
        QRect geometry;
        QString caption;
    };
    const Expected controls[] = {
        {"透明标签1", {8, 8, 136, 32}, "视频地址："},
        {"编辑框_videoUrl", {64, 8, 456, 32}, ""},
        {"按钮_parse", {528, 8, 64, 32}, "解析"},
        {"分组框1", {8, 48, 584, 400}, ""},
        {"透明标签2", {8, 8, 56, 32}, "视频质量："},
        {"组合框_videoQuality", {64, 12, 136, 24}, ""},
        {"透明标签3", {208, 8, 56, 32}, "音频质量："},
        {"组合框_audioQuality", {264, 12, 40, 24}, "高"},
        {"透明标签_videoNumber", {312, 8, 256, 32}, ""},
        {"超级列表框_list", {8, 40, 568, 352}, ""},
        {"按钮_downloadAll", {8, 456, 80, 32}, "下载全部"},
        {"按钮_downloadSelected", {96, 456, 80, 32}, "下载选中"},
    };
    for (const Expected& expected : controls) {
        auto* widget = window_->findChild<QWidget*>(QString::fromUtf8(expected.name));
        ASSERT_NE(widget, nullptr) << expected.name;
        EXPECT_EQ(widget->geometry(), expected.geometry) << expected.name;
        QString caption;
        if (auto* label = qobject_cast<QLabel*>(widget)) caption = label->text();
        if (auto* button = qobject_cast<QPushButton*>(widget)) caption = button->text();
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) caption = edit->text();
        if (auto* box = qobject_cast<QComboBox*>(widget)) caption = box->currentText();
        if (auto* group = qobject_cast<QGroupBox*>(widget)) caption = group->title();
        EXPECT_EQ(caption, expected.caption) << expected.name;
    }
    // Positions inside the group box are relative to it.
    auto* group = window_->findChild<QGroupBox*>("分组框1");
    EXPECT_EQ(window_->list()->parentWidget(), group);
    EXPECT_EQ(window_->videoQualityBox()->parentWidget(), group);

    EXPECT_FALSE(window_->videoQualityBox()->isEditable());
    EXPECT_EQ(window_->videoQualityBox()->count(), 0);
    EXPECT_EQ(window_->videoQualityBox()->currentIndex(), -1);
    EXPECT_FALSE(window_->audioQualityBox()->isEditable());
    const std::vector<std::pair<QString, int>> audio = {
        {"高", 30280}, {"中", 30232}, {"低", 30216}};
    EXPECT_EQ(comboItems(window_->audioQualityBox()), audio);
    EXPECT_EQ(window_->audioQualityBox()->currentIndex(), 0);

    QTreeWidget* list = window_->list();
    EXPECT_FALSE(list->rootIsDecorated());
    const QStringList headers = {"#", "标题", "时长", "cid", "状态"};
    const int widths[] = {50, 320, 50, 0, 120};
    ASSERT_EQ(list->columnCount(), 5);
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(list->headerItem()->text(column), headers[column]);
        if (column != MainWindow::CidColumn) {
            EXPECT_EQ(list->columnWidth(column), widths[column]) << column;
        }
    }
    EXPECT_TRUE(list->isColumnHidden(MainWindow::CidColumn));
    // The hidden column takes no room: "状态" follows "时长" directly.
    EXPECT_EQ(list->header()->sectionPosition(MainWindow::StateColumn), 420);

    QStringList menus;
    for (QAction* menu : window_->menuBar()->actions()) {
        menus << menu->text();
        for (QAction* item : menu->menu()->actions()) menus << item->text();
    }
    EXPECT_EQ(menus, QStringList({"其他功能", "用户登录", "视频搜索", "下载列表", "批量下载",
                                  "订阅", "设置", "下载设置"}));
    QStringList commands;
    for (QAction* item : window_->contextMenu()->actions()) commands << item->text();
    EXPECT_EQ(commands, QStringList({"选中", "全选", "反选", "全不选"}));
    EXPECT_EQ(window_->contextMenu()->objectName(), "菜单");
    EXPECT_EQ(MainWindow::instance(), window_.data());

    // Under the program's skin, applied at start before the window opens, the hidden
    // cid column still takes no room.
    const QString skin = loadSkinSheet(skinFilePath(QUIVRA_SOURCE_DIR "/resources"));
    ASSERT_FALSE(skin.isEmpty());
    qApp->setStyleSheet(skin);
    {
        MainWindow skinned(core_);
        skinned.show();
        EXPECT_EQ(skinned.list()->header()->sectionPosition(MainWindow::StateColumn), 420);
    }
    qApp->setStyleSheet(QString());
}

TEST(SkinSheet, MissingOrBrokenFilesGiveThePlainLook) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("quivra-skin-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "skin");
    const std::string path = skinFilePath(folder.string());
    EXPECT_EQ(path, folder.string() + "/skin/简约白.qss");
    EXPECT_TRUE(loadSkinSheet(path).isEmpty());  // missing

    std::ofstream(path, std::ios::binary) << "QWidget { color: #333; }\n";
    EXPECT_EQ(loadSkinSheet(path), "QWidget { color: #333; }\n");
    std::ofstream(path, std::ios::binary) << "QWidget { color: \xff\xfe; }";
    EXPECT_TRUE(loadSkinSheet(path).isEmpty());  // not UTF-8
    std::ofstream(path, std::ios::binary) << std::string(2 * 1024 * 1024, 'a');
    EXPECT_TRUE(loadSkinSheet(path).isEmpty());  // far too large for a sheet
    std::filesystem::remove_all(folder);
}

TEST_F(MainWindowTest, OnePartVideoFillsTheWindowWhileTheButtonWaits) {
    site().setDelayMs("/x/web-interface/view", 400, 1);
    window_->setVideoUrl(QString("https://www.quivra.com/video/") + kOnePartBvid + "?p=1");
    QTest::mouseClick(window_->parseButton(), Qt::LeftButton);
    // During the parse the button says so and cannot be pressed again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->parseButton()->text() == "解析中"; }, 5000));
    EXPECT_FALSE(window_->parseButton()->isEnabled());

    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !window_->videoNumberLabel()->text().isEmpty(); }, 15000));
    EXPECT_EQ(window_->videoNumberLabel()->text(), "解析完毕，共1条视频");
    EXPECT_EQ(window_->parseButton()->text(), "解析");
    EXPECT_TRUE(window_->parseButton()->isEnabled());

    QTreeWidget* list = window_->list();
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(rowTexts(list->topLevelItem(0)),
              QStringList({"1", "山间小路的清晨", "62:05", "3001", ""}));
    EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
    EXPECT_TRUE(list->topLevelItem(0)->flags() & Qt::ItemIsUserCheckable);

    EXPECT_EQ(comboItems(window_->videoQualityBox()), kAllQualities);
    EXPECT_EQ(window_->videoQualityBox()->currentIndex(), -1);
    EXPECT_EQ(window_->audioQualityBox()->currentIndex(), 0);
    EXPECT_TRUE(messages_.texts().empty());
}

TEST_F(MainWindowTest, RowsShowThePartNamesAsTheSiteSentThem) {
    ASSERT_TRUE(parse(devsite::kWorldTextBvid));
    QTreeWidget* list = window_->list();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(rowTexts(list->topLevelItem(0)),
              QStringList({"1", "🎤 가사 第一段", "00:41", "5901", ""}));
    EXPECT_EQ(list->topLevelItem(1)->text(1), "残缺\uFFFD 与 \uFFFD 第二段");
}

TEST_F(MainWindowTest, TwelvePartVideoParsedTwiceListsTwelveRowsOnce) {
    const int durations[] = {60, 107, 154, 201, 248, 295};
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(parse("av170001"));
        EXPECT_EQ(window_->videoNumberLabel()->text(), "解析完毕，共12条视频");
        QTreeWidget* list = window_->list();
        ASSERT_EQ(list->topLevelItemCount(), 12);
        for (int row = 0; row < 12; ++row) {
            QTreeWidgetItem* item = list->topLevelItem(row);
            EXPECT_EQ(item->text(0), QString::number(row + 1));
            EXPECT_EQ(item->text(MainWindow::CidColumn), QString::number(62001 + row));
            EXPECT_TRUE(item->text(1).startsWith(QString("第%1集").arg(row + 1))) << row;
            EXPECT_EQ(item->text(MainWindow::StateColumn), "");
        }
        for (int row = 0; row < 6; ++row) {
            const int seconds = durations[row];
            EXPECT_EQ(list->topLevelItem(row)->text(2), QString("%1:%2")
                                                            .arg(seconds / 60, 2, 10, QChar('0'))
                                                            .arg(seconds % 60, 2, 10, QChar('0')));
        }
        EXPECT_EQ(comboItems(window_->videoQualityBox()), kAllQualities);
    }
    EXPECT_EQ(sharedState().video.get().bvid, kTwelvePartBvid);
}

TEST_F(MainWindowTest, TextWithoutIdentifierIsRefusedWithAMessage) {
    ASSERT_TRUE(parse(kOnePartBvid));
    ASSERT_EQ(window_->list()->topLevelItemCount(), 1);

    ASSERT_TRUE(parse("AV170001"));
    EXPECT_EQ(messages_.texts(), std::vector<std::string>{"请输入正确的视频地址、bvid、avid"});
    // Nothing else changed: the earlier rows stay, the button was never disabled.
    QTest::qWait(100);
    EXPECT_EQ(window_->list()->topLevelItemCount(), 1);
    EXPECT_EQ(window_->parseButton()->text(), "解析");
    EXPECT_TRUE(window_->parseButton()->isEnabled());
    EXPECT_EQ(site().requestsTo("/x/web-interface/view").size(), 1u);
}

TEST_F(MainWindowTest, FailedParsesEmptyTheListAndEnableTheButton) {
    ASSERT_TRUE(parse(kOnePartBvid));
    ASSERT_EQ(window_->list()->topLevelItemCount(), 1);

    struct Case {
        const char* what;
        std::function<void()> arrange;
        QString status;
    };
    const Case cases[] = {
        {"unknown video", [] {}, QStringLiteral("解析失败：视频不存在（-404）")},
        {"HTML answer",
         [] {
             site().overrideAnswer("/x/web-interface/view", 200, "<html><body>busy</body></html>");
             site().overrideAnswer("/x/player/playurl", 502, "<html>bad gateway</html>");
         },
         QStringLiteral("解析失败：回答不是JSON")},
        {"dead site", [] { sharedState().site.api = "http://127.0.0.1:1"; },
         QStringLiteral("解析失败：服务器没有回应")},
    };
    for (const Case& c : cases) {
        c.arrange();
        ASSERT_TRUE(parse("BV1zzzzzzzzz")) << c.what;
        EXPECT_EQ(window_->list()->topLevelItemCount(), 0) << c.what;
        EXPECT_EQ(window_->videoQualityBox()->count(), 0) << c.what;
        // The status line says why, not the count of the video parsed before.
        EXPECT_EQ(window_->videoNumberLabel()->text(), c.status) << c.what;
        EXPECT_EQ(window_->parseButton()->text(), "解析") << c.what;
        EXPECT_TRUE(window_->parseButton()->isEnabled()) << c.what;
    }
    EXPECT_TRUE(messages_.texts().empty());
}

TEST_F(MainWindowTest, CheckBoxCommandsOfTheContextMenu) {
    ASSERT_TRUE(parse("av170001"));
    QTreeWidget* list = window_->list();
    ASSERT_EQ(list->topLevelItemCount(), 12);
    auto checked = [&] {
        QList<int> rows;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (list->topLevelItem(i)->checkState(0) == Qt::Checked) rows << i;
        }
        return rows;
    };
    // Keep three rows so that "反选" meets rows 1 and 3 checked, row 2 clear.
    while (list->topLevelItemCount() > 3) delete list->topLevelItem(3);
    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    list->topLevelItem(2)->setCheckState(0, Qt::Checked);
    contextAction("反选")->trigger();
    EXPECT_EQ(checked(), QList<int>({1}));

    contextAction("全选")->trigger();
    EXPECT_EQ(checked(), QList<int>({0, 1, 2}));
    contextAction("全不选")->trigger();
    EXPECT_EQ(checked(), QList<int>());

    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    contextAction("选中")->trigger();
    EXPECT_EQ(checked(), QList<int>({0, 2}));
}

TEST_F(MainWindowTest, RightClickOpensTheMenuOnlyOnARow) {
    QWidget* viewport = window_->list()->viewport();
    auto menuOpensAt = [&](const QPoint& pos) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
        QApplication::sendEvent(viewport, &event);
        const bool shown =
            QTest::qWaitFor([&] { return window_->contextMenu()->isVisible(); }, 200);
        window_->contextMenu()->hide();
        return shown;
    };
    const QPoint firstRow(20, 10);
    const QPoint belowTheRows(20, viewport->height() - 10);
    EXPECT_FALSE(menuOpensAt(firstRow));

    ASSERT_TRUE(parse(kOnePartBvid));
    EXPECT_FALSE(menuOpensAt(belowTheRows));
    EXPECT_TRUE(menuOpensAt(firstRow));
}

TEST_F(MainWindowTest, DoubleClickEmptiesTheAddress) {
    window_->setVideoUrl("https://www.quivra.com/video/BV1xx411c7mD");
    QTest::mouseDClick(window_->videoUrlEdit(), Qt::LeftButton);
    EXPECT_EQ(window_->videoUrl(), "");
}

TEST_F(MainWindowTest, ParsesAskedForTogetherRunOneAfterTheOther) {
    site().setDelayMs("/x/web-interface/view", 300, 1);
    window_->setVideoUrl("av170001");
    window_->startParse();
    window_->startParse();  // as the search window would, while the first one runs
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return site().requestsTo("/x/player/playurl").size() == 2; }, 15000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->parseButton()->isEnabled(); }, 15000));
    QTest::qWait(200);
    EXPECT_EQ(window_->list()->topLevelItemCount(), 12);
}

TEST_F(MainWindowTest, WindowDeletedDuringAParseIsLeftAlone) {
    site().setDelayMs("/x/web-interface/view", 300, 1);
    window_->setVideoUrl(kOnePartBvid);
    window_->startParse();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->parseButton()->isEnabled(); }, 5000));
    delete window_.data();
    EXPECT_EQ(MainWindow::instance(), nullptr);
    // The parse goes on to its end without a window to write to.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return site().requestsTo("/x/player/playurl").size() == 1; }, 15000));
    QTest::qWait(200);
    EXPECT_EQ(sharedState().video.get().bvid, kOnePartBvid);
}

// Closing the main window ends the program at once, with code 0, even while a parse
// waits for the site and a command this program started is still running; that
// command is ended with it.
TEST_F(MainWindowTest, ClosingEndsTheProgramAndItsCommands) {
    const std::filesystem::path pidFile = folder() / "command.pid";
    std::error_code ignored;
    std::filesystem::remove(pidFile, ignored);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            site().setDelayMs("/x/web-interface/view", 5000, 1);
            window_->setVideoUrl(kOnePartBvid);
            window_->startParse();
            std::thread([&] {
                runCommand("echo $$ > '" + pidFile.string() + "'; exec sleep 30");
            }).detach();
            if (!QTest::qWaitFor([&] { return std::filesystem::exists(pidFile); }, 5000)) {
                std::_Exit(4);
            }
            QTest::qWait(100);
            window_->close();
            std::_Exit(3);  // not reached when closing ends the program
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(test::processInFileEnds(
        pidFile, [](auto ended, int ms) { return QTest::qWaitFor(ended, ms); }));
}

}  // namespace
}  // namespace quivra

// The batch window over a queue whose pool does not run, so every part stays in the list
// where the test counts it: addresses pasted and loaded with any separators and
// duplicates, a bad one among them, every part of each video queued.
#include "app/batch_window.h"

#include <QApplication>
#include <QComboBox>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <set>

#include "download/list/download_queue.h"
#include "download/thread_pool.h"
#include "main_window_fixture.h"

namespace quivra {
namespace {

class BatchWindowTest : public MainWindowTest {
  protected:
    void SetUp() override {
        windowQueue_ = queue_;
        MainWindowTest::SetUp();
        sharedState().download.update(
            [&](DownloadSettings& s) { s.directory = (folder() / "batch").string(); });
        for (QAction* menu : window_->menuBar()->actions()) {
            for (QAction* item : menu->menu()->actions()) {
                if (menu->text() == "其他功能" && item->text() == "批量下载") item->trigger();
            }
        }
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<BatchWindow*>(widget)) batch_ = found;
        }
        ASSERT_TRUE(batch_);
    }

    void TearDown() override {
        if (batch_) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return batch_->startButton()->isEnabled(); }, 30000));
            delete batch_.data();
        }
        MainWindowTest::TearDown();
    }

    QString state(int row) const {
        return batch_->list()->topLevelItem(row)->text(BatchWindow::StateColumn);
    }

    ThreadPool idlePool_;  // never started
    std::shared_ptr<DownloadQueue> queue_ =
        std::make_shared<DownloadQueue>(idlePool_, test::programJob());
    QPointer<BatchWindow> batch_;
};

TEST_F(BatchWindowTest, TwentyAddressesWithAnySeparatorsQueueEveryPartOfTwentyVideos) {
    // Eighteen two-part videos, av2 (one part) and an address of the twelve-part video;
    // repeats in other forms; one video the site does not know.
    QString pasted = QStringLiteral("av2 , BV1xx411c7mD\n\n") +
                     QString::fromStdString(site().baseUrl()) + "/video/BV17x411w7KC?p=3 ";
    for (int i = 0; i < 9; ++i) {
        pasted += QString::fromStdString(devsite::batchBvid(i)) + (i % 2 ? "，" : "\t");
    }
    pasted += QStringLiteral("BV1zzzzzzzzz、av170001");
    batch_->addressEdit()->setPlainText(pasted);
    const std::filesystem::path file = folder() / "addresses.txt";
    {
        std::ofstream out(file);
        for (int i = 9; i < 18; ++i) out << devsite::batchBvid(i) << (i % 3 ? ";" : "\r\n");
        out << devsite::batchBvid(0) << "\n";
    }
    ASSERT_TRUE(batch_->loadFile(QString::fromStdString(file.string())));

    QTest::mouseClick(batch_->startButton(), Qt::LeftButton);
    EXPECT_TRUE(batch_->addressEdit()->toPlainText().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return batch_->startButton()->isEnabled(); }, 60000));

    ASSERT_EQ(batch_->list()->topLevelItemCount(), 21);
    EXPECT_EQ(state(0), QStringLiteral("已加入1个分P"));
    EXPECT_EQ(state(1), QStringLiteral("已加入12个分P"));
    for (int row = 2; row < 11; ++row) EXPECT_EQ(state(row), QStringLiteral("已加入2个分P"));
    EXPECT_EQ(batch_->list()->topLevelItem(11)->text(BatchWindow::AddressColumn),
              QStringLiteral("BV1zzzzzzzzz"));
    EXPECT_EQ(state(11), QStringLiteral("解析失败：视频不存在（-404）"));
    for (int row = 12; row < 21; ++row) EXPECT_EQ(state(row), QStringLiteral("已加入2个分P"));

    std::set<std::string> videos;
    std::set<std::string> outputs;
    for (const DownloadItem& item : queue_->items()) {
        videos.insert(item.request.bvid);
        outputs.insert(item.request.outputPath);
        EXPECT_EQ(item.request.videoQuality, 80);  // 最高可用 without membership
    }
    EXPECT_EQ(videos.size(), 20u);
    EXPECT_EQ(outputs.size(), 18u * 2 + 1 + 12);
    EXPECT_TRUE(messages_.texts().empty());
}

TEST_F(BatchWindowTest, AddressesHandedOverDuringARunFollowIt) {
    site().setDelayMs("/x/web-interface/view", 300, 1);  // the first run is still going
    batch_->addAddresses({QString::fromUtf8(devsite::kOnePartBvid)});
    batch_->start();
    batch_->addAddresses({QString::fromUtf8(devsite::kThreePartBvid)});
    batch_->start();  // as the search window does while the first run goes on
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return batch_->list()->topLevelItemCount() == 2 && batch_->startButton()->isEnabled();
        },
        30000));
    EXPECT_EQ(state(0), QStringLiteral("已加入1个分P"));
    EXPECT_EQ(state(1), QStringLiteral("已加入3个分P"));
    EXPECT_EQ(queue_->items().size(), 4u);
}

// 下载内容 shows the setting's and applies to the parts the window starts, not to the setting.
TEST_F(BatchWindowTest, ItsContentChoiceReachesThePartsItQueues) {
    sharedState().download.update([](DownloadSettings& s) { s.downloadContent = "video"; });
    delete batch_.data();
    batch_ = BatchWindow::showFor(core_);
    auto* content = batch_->findChild<QComboBox*>("组合框_downloadContent");
    ASSERT_TRUE(content);
    EXPECT_EQ(content->currentText(), QStringLiteral("仅视频"));
    content->setCurrentText(QStringLiteral("仅音频"));
    batch_->addAddresses({QString::fromUtf8(devsite::kOnePartBvid)});
    batch_->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return batch_->startButton()->isEnabled(); }, 30000));
    ASSERT_EQ(queue_->items().size(), 1u);
    const DownloadRequest part = queue_->items()[0].request;
    EXPECT_EQ(part.content, DownloadContent::AudioOnly);
    EXPECT_TRUE(part.outputPath.ends_with(".m4a")) << part.outputPath;
    EXPECT_EQ(sharedState().download.get().downloadContent, "video");
}

}  // namespace
}  // namespace quivra

// The responsive wait, the hand-off to the GUI thread and the message box presenter.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/message_box_window.h"
#include "base/gui_thread.h"
#include "base/message_box.h"
#include "base/wait_responsive.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

using Clock = std::chrono::steady_clock;

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(WaitResponsive, UnitTable) {
    EXPECT_EQ(waitLengthMs(300, std::nullopt), 300);
    EXPECT_EQ(waitLengthMs(300, 0), 300);
    EXPECT_EQ(waitLengthMs(1, 1), 1000);
    EXPECT_EQ(waitLengthMs(1, 2), 60000);
    EXPECT_EQ(waitLengthMs(2, 3), 7200000);
    EXPECT_EQ(waitLengthMs(4, 250), 1000);
    EXPECT_EQ(waitLengthMs(std::nullopt, 1), 0);
    // Nothing given: 18,000,000 units of 18,000,000 ms, beyond 32-bit arithmetic.
    EXPECT_EQ(waitLengthMs(std::nullopt, std::nullopt), 3.24e14);
    EXPECT_EQ(waitLengthMs(std::nullopt, 0), 3.24e14);
    EXPECT_EQ(waitLengthMs(2000000000, 3), 7.2e15);
}

TEST(WaitResponsive, GuiThreadKeepsHandlingClicksWhileItWaits) {
    QPushButton button("other");
    button.show();
    bool clicked = false;
    bool clickedBeforeReturn = false;
    QObject::connect(&button, &QPushButton::clicked, [&] { clicked = true; });
    QTimer::singleShot(50, &button, [&] { QTest::mouseClick(&button, Qt::LeftButton); });

    const auto start = Clock::now();
    EXPECT_TRUE(waitResponsive(300, 0));
    clickedBeforeReturn = clicked;
    EXPECT_GE(millisecondsSince(start), 300);
    EXPECT_TRUE(clickedBeforeReturn);
}

TEST(WaitResponsive, WorkerThreadSleepsAndZeroOrNegativeReturnAtOnce) {
    std::atomic<long long> slept{0};
    std::thread worker([&] {
        const auto start = Clock::now();
        waitResponsive(4, 50);  // 4 units of 50 ms
        slept = millisecondsSince(start);
    });
    worker.join();
    EXPECT_GE(slept.load(), 200);

    const auto start = Clock::now();
    EXPECT_TRUE(waitResponsive(0, 1));
    EXPECT_TRUE(waitResponsive(-5, 1));
    EXPECT_TRUE(waitResponsive(5, -1000));
    EXPECT_LT(millisecondsSince(start), 1000);
}

TEST(GuiThread, CallsFromWorkersRunOnTheGuiThread) {
    EXPECT_TRUE(isGuiThread());
    QThread* gui = QThread::currentThread();
    std::atomic<bool> onGui{false};
    std::atomic<bool> ranBeforeReturn{false};
    std::atomic<bool> workerWasGui{true};
    std::atomic<bool> posted{false};
    std::thread worker([&] {
        workerWasGui = isGuiThread();
        bool ran = false;
        callOnGui([&] {
            onGui = QThread::currentThread() == gui;
            ran = true;
        });
        ranBeforeReturn = ran;
        postToGui([&] { posted = QThread::currentThread() == gui; });
    });
    // The worker blocks in callOnGui until this thread handles its events.
    ASSERT_TRUE(QTest::qWaitFor([&] { return posted.load(); }, 5000));
    worker.join();
    EXPECT_FALSE(workerWasGui);
    EXPECT_TRUE(onGui);
    EXPECT_TRUE(ranBeforeReturn);

    // On the GUI thread callOnGui runs inline; postToGui runs later.
    bool inline_ = false;
    callOnGui([&] { inline_ = true; });
    EXPECT_TRUE(inline_);
    bool later = false;
    postToGui([&] { later = true; });
    EXPECT_FALSE(later);
    EXPECT_TRUE(QTest::qWaitFor([&] { return later; }, 2000));
}

QMessageBox* visibleMessageBox() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(top);
        if (box != nullptr && box->isVisible()) return box;
    }
    return nullptr;
}

TEST(MessageBoxPresenter, BoxAskedByAWorkerBlocksOnlyThatWorker) {
    installMessageBoxPresenter();
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        showMessageBox(localText("请先解析视频！"));
        returned = true;
    });
    QMessageBox* box = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (box = visibleMessageBox()) != nullptr; }, 5000));
    EXPECT_EQ(box->windowTitle(), "信息：");
    EXPECT_EQ(box->text(), "请先解析视频！");
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->parentWidget(), nullptr);
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);

    // The GUI thread goes on handling events while the worker waits.
    bool timerRan = false;
    QTimer::singleShot(20, [&] { timerRan = true; });
    QTest::qWait(150);
    EXPECT_TRUE(timerRan);
    EXPECT_FALSE(returned);

    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 5000));
    worker.join();
    setMessagePresenter(nullptr);
}

TEST(MessageBoxPresenter, BoxOnTheGuiThreadReturnsWhenDismissed) {
    installMessageBoxPresenter();
    QString seen;
    QTimer::singleShot(50, [&] {
        if (QMessageBox* box = visibleMessageBox()) {
            seen = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    showMessageBox(localText("目录中不能包含空格"));
    EXPECT_EQ(seen, "目录中不能包含空格");
    setMessagePresenter(nullptr);
}

// Once the program is shutting down, workers are never held: calls waiting for the GUI
// thread return without running, and later calls return at once.
TEST(GuiThreadDeathTest, ShutdownReleasesWaitingWorkers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            installMessageBoxPresenter();
            std::atomic<bool> ran{false};
            std::thread waiting([&] { callOnGui([&] { ran = true; }); });
            std::thread boxed([&] { showMessageBox(localText("线程池创建失败")); });
            std::this_thread::sleep_for(std::chrono::milliseconds(200));  // no events handled
            beginGuiShutdown();
            waiting.join();
            boxed.join();
            QCoreApplication::processEvents();
            std::thread late([&] { callOnGui([&] { ran = true; }); });
            late.join();
            std::_Exit(ran ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quivra

#include "download/thread_pool.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace quivra {
namespace {

using namespace std::chrono_literals;

std::atomic<int> ranCount{0};
std::atomic<std::intptr_t> valueSum{0};
std::atomic<bool> releaseGate{false};

void countRun(std::intptr_t value1, std::intptr_t value2) {
    valueSum += value1 * 1000 + value2;
    ++ranCount;
}

// Holds its worker until the test opens the gate.
void waitAtGate(std::intptr_t, std::intptr_t) {
    while (!releaseGate.load()) std::this_thread::sleep_for(1ms);
    ++ranCount;
}

void slowRun(std::intptr_t, std::intptr_t) {
    std::this_thread::sleep_for(20ms);
    ++ranCount;
}

class ThreadPoolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ranCount = 0;
        valueSum = 0;
        releaseGate = false;
    }
    void TearDown() override {
        releaseGate = true;
        pool.stop(0, 5000);
    }
    ThreadPool pool;
};

TEST_F(ThreadPoolTest, WorkerCountRules) {
    for (int requested : {0, -3}) {
        ASSERT_TRUE(pool.start(requested));
        EXPECT_EQ(pool.threadCount(), 1) << requested;
        EXPECT_EQ(pool.state(), ThreadPool::Running);
        ASSERT_TRUE(pool.stop(0, 5000));
        EXPECT_EQ(pool.state(), ThreadPool::NotRunning);
        EXPECT_EQ(pool.threadCount(), 0);
    }
    // threadNumber=10000 in config.ini must not start ten thousand threads.
    ASSERT_TRUE(pool.start(10000));
    EXPECT_EQ(pool.threadCount(), 64);
    ASSERT_TRUE(pool.stop(0, 5000));

    ASSERT_TRUE(pool.start());
    EXPECT_EQ(pool.threadCount(), 5);
    EXPECT_EQ(pool.idleThreadCount(), 5);
    EXPECT_TRUE(pool.isIdle());
}

TEST_F(ThreadPoolTest, SecondStartFailsAndStartsNoThread) {
    ASSERT_TRUE(pool.start(3));
    EXPECT_FALSE(pool.start(4));
    EXPECT_EQ(pool.threadCount(), 3);
    EXPECT_EQ(pool.state(), ThreadPool::Running);
}

TEST_F(ThreadPoolTest, SubmitOnlyWhileRunning) {
    EXPECT_FALSE(pool.submit(countRun, 1));
    EXPECT_TRUE(pool.stop());  // never started: nothing to stop
    ASSERT_TRUE(pool.start(2));
    EXPECT_FALSE(pool.submit(nullptr, 1));
    ASSERT_TRUE(pool.submit(countRun, 4, 2));
    ASSERT_TRUE(pool.stop(1, 5000));
    EXPECT_EQ(valueSum.load(), 4002);
    EXPECT_FALSE(pool.submit(countRun, 1));
    EXPECT_EQ(pool.queuedCount(), 0);
}

TEST_F(ThreadPoolTest, StopModeOneRunsEveryQueuedTask) {
    ASSERT_TRUE(pool.start(2));
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(pool.submit(slowRun, i));
    EXPECT_GT(pool.queuedCount(), 0);
    ASSERT_TRUE(pool.stop(1, 10000));
    EXPECT_EQ(ranCount.load(), 20);
    EXPECT_EQ(pool.state(), ThreadPool::NotRunning);
    EXPECT_EQ(pool.threadCount(), 0);
}

TEST_F(ThreadPoolTest, StopModeZeroDropsQueuedTasks) {
    ASSERT_TRUE(pool.start(1));
    ASSERT_TRUE(pool.submit(waitAtGate, 0));
    while (pool.busyCount() != 1) std::this_thread::sleep_for(1ms);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(pool.submit(countRun, i));
    EXPECT_EQ(pool.queuedCount(), 5);
    EXPECT_FALSE(pool.isIdle());
    EXPECT_EQ(pool.idleThreadCount(), 0);

    std::thread opener([] {
        std::this_thread::sleep_for(100ms);
        releaseGate = true;
    });
    EXPECT_TRUE(pool.stop(0, 5000));
    opener.join();
    EXPECT_EQ(ranCount.load(), 1);  // only the task that was already running
    EXPECT_EQ(pool.queuedCount(), 0);
    EXPECT_EQ(pool.state(), ThreadPool::NotRunning);
}

TEST_F(ThreadPoolTest, StopTimesOutWhileATaskRunsAndPoolRestartsLater) {
    ASSERT_TRUE(pool.start(1));
    ASSERT_TRUE(pool.submit(waitAtGate, 0));
    while (pool.busyCount() != 1) std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(pool.stop(0, 100));
    EXPECT_EQ(pool.state(), ThreadPool::Stopping);
    EXPECT_FALSE(pool.stop());  // already stopping
    EXPECT_FALSE(pool.start());
    releaseGate = true;
    while (pool.state() != ThreadPool::NotRunning) std::this_thread::sleep_for(1ms);

    // Restart after a stop; nothing of the earlier run leaks into the new one.
    ranCount = 0;
    ASSERT_TRUE(pool.start(2));
    ASSERT_TRUE(pool.submit(countRun, 1));
    ASSERT_TRUE(pool.stop(1, 5000));
    EXPECT_EQ(ranCount.load(), 1);
}

TEST_F(ThreadPoolTest, StopWithoutWaitingReturnsAtOnce) {
    ASSERT_TRUE(pool.start(2));
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(pool.submit(slowRun, i));
    ASSERT_TRUE(pool.stop(3));  // queued tasks still run
    while (pool.state() != ThreadPool::NotRunning) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(ranCount.load(), 4);

    ranCount = 0;
    ASSERT_TRUE(pool.start(1));
    ASSERT_TRUE(pool.submit(waitAtGate, 0));
    while (pool.busyCount() != 1) std::this_thread::sleep_for(1ms);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(pool.submit(countRun, i));
    ASSERT_TRUE(pool.stop(2));  // queued tasks dropped
    EXPECT_EQ(pool.state(), ThreadPool::Stopping);
    releaseGate = true;
    while (pool.state() != ThreadPool::NotRunning) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(ranCount.load(), 1);
}

TEST_F(ThreadPoolTest, ModeOutsideRangeCountsAsZero) {
    ASSERT_TRUE(pool.start(1));
    ASSERT_TRUE(pool.submit(waitAtGate, 0));
    while (pool.busyCount() != 1) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(pool.submit(countRun, 1));
    // The gate opens only once the pool is stopping: opened before, the worker could take
    // the queued task before the stop drops it.
    std::thread opener([this] {
        while (pool.state() != ThreadPool::Stopping) std::this_thread::sleep_for(1ms);
        releaseGate = true;
    });
    EXPECT_TRUE(pool.stop(7, 5000));
    opener.join();
    EXPECT_EQ(ranCount.load(), 1);
}

TEST_F(ThreadPoolTest, TasksRunInParallelOnePerWorker) {
    ASSERT_TRUE(pool.start(4));
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(pool.submit(waitAtGate, i));
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (pool.busyCount() != 4 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(pool.busyCount(), 4);
    EXPECT_EQ(pool.idleThreadCount(), 0);
    releaseGate = true;
    ASSERT_TRUE(pool.stop(1, 5000));
    EXPECT_EQ(ranCount.load(), 4);
}

TEST(ThreadPoolStack, SizeRule) {
    EXPECT_EQ(ThreadPool::effectiveStackSize(0), 0u);
    EXPECT_EQ(ThreadPool::effectiveStackSize(-5), 0u);
    EXPECT_EQ(ThreadPool::effectiveStackSize(5000), 8192u);
    EXPECT_EQ(ThreadPool::effectiveStackSize(10000), 8192u);
    EXPECT_EQ(ThreadPool::effectiveStackSize(20000), 16384u);
    EXPECT_EQ(ThreadPool::effectiveStackSize(8192), 8192u);
}

TEST(ThreadPoolStack, TinyStackRequestStillStartsWorkingThreads) {
    ThreadPool pool;
    ASSERT_TRUE(pool.start(2, false, 5000));
    EXPECT_EQ(pool.threadCount(), 2);
    ranCount = 0;
    ASSERT_TRUE(pool.submit(countRun, 1));
    ASSERT_TRUE(pool.stop(1, 5000));
    EXPECT_EQ(ranCount.load(), 1);
}

// The GUI thread's events keep flowing while it waits for the pool: here a timer that
// fires during the wait is what lets the running task finish.
TEST(ThreadPoolGui, WaitingStopKeepsEventsFlowing) {
    static int argc = 1;
    static char name[] = "thread_pool_test";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (QCoreApplication::instance() == nullptr) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    releaseGate = false;
    ThreadPool pool;
    ASSERT_TRUE(pool.start(1, true));
    ASSERT_TRUE(pool.submit(waitAtGate, 0));
    while (pool.busyCount() != 1) std::this_thread::sleep_for(1ms);
    bool fired = false;
    QTimer::singleShot(50, [&fired] {
        fired = true;
        releaseGate = true;
    });
    EXPECT_TRUE(pool.stop(0, 5000, true));
    EXPECT_TRUE(fired);
}

TEST(ThreadPoolLifetime, DestroyingARunningPoolDoesNotWaitForItsTasks) {
    releaseGate = false;
    auto began = std::chrono::steady_clock::now();
    {
        ThreadPool pool;
        ASSERT_TRUE(pool.start(2));
        ASSERT_TRUE(pool.submit(waitAtGate, 0));
        while (pool.busyCount() != 1) std::this_thread::sleep_for(1ms);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - began, 2s);
    releaseGate = true;  // the detached worker finishes and leaves on its own
    std::this_thread::sleep_for(50ms);
}

}  // namespace
}  // namespace quivra

#include "download/job/command_runner.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace quivra {
namespace {

using namespace std::chrono_literals;

TEST(RunCommand, CollectsOutputAndErrorInArrivalOrder) {
    int status = 99;
    EXPECT_EQ(runCommand("true", nullptr, &status), "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(runCommand("echo one; echo two >&2; sleep 0.05; echo three"), "one\ntwo\nthree\n");
    EXPECT_EQ(runCommand("printf 'only error' >&2"), "only error");
}

TEST(RunCommand, ReportsTheExitStatus) {
    int status = 0;
    runCommand("exit 3", nullptr, &status);
    EXPECT_EQ(status, 3);
    runCommand("kill -9 $$", nullptr, &status);
    EXPECT_EQ(status, -1);  // did not exit normally
    runCommand("no-such-command-anywhere", nullptr, &status);
    EXPECT_EQ(status, 127);
}

TEST(RunCommand, ChildInheritsNoDescriptorOfOurs) {
    int inheritable = open("/dev/null", O_RDONLY);  // deliberately without close-on-exec
    ASSERT_GE(inheritable, 3);
    std::string listed = runCommand("ls /proc/$$/fd");
    close(inheritable);
    EXPECT_EQ(listed, "0\n1\n2\n");
}

TEST(RunCommand, StandardInputIsEmptyAndLargeOutputArrivesWhole) {
    EXPECT_EQ(runCommand("wc -c"), "0\n");
    std::string big = runCommand("head -c 1000000 /dev/zero | tr '\\0' x");
    EXPECT_EQ(big.size(), 1000000u);
    EXPECT_EQ(big.find_first_not_of('x'), std::string::npos);
}

TEST(RunCommand, ReceiverSeesChunksAndStopsAtTheFirst) {
    std::vector<std::string> seen;
    std::string collected =
        runCommand("echo first; sleep 0.2; echo second", [&](const std::string& chunk) {
            seen.push_back(chunk);
            return 0;
        });
    EXPECT_EQ(collected, "first\nsecond\n");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "first\n");

    int calls = 0;
    auto began = std::chrono::steady_clock::now();
    collected = runCommand("echo first; sleep 3; echo late", [&](const std::string&) {
        ++calls;
        return 1;
    });
    EXPECT_EQ(collected, "");
    EXPECT_EQ(calls, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 2s);  // did not wait for the command
}

TEST(RunCommand, BackgroundChildHoldingThePipeDoesNotKeepTheCallWaiting) {
    auto began = std::chrono::steady_clock::now();
    int status = -5;
    EXPECT_EQ(runCommand("sleep 3 & echo started", nullptr, &status), "started\n");
    EXPECT_EQ(status, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 2500ms);
}

TEST(RunCommand, CallsFromSeveralThreadsStayApart) {
    std::vector<std::future<std::string>> results;
    for (int i = 0; i < 6; ++i) {
        results.push_back(std::async(std::launch::async, [i] {
            return runCommand("sleep 0.1; echo " + std::to_string(i));
        }));
    }
    for (int i = 0; i < 6; ++i) EXPECT_EQ(results[i].get(), std::to_string(i) + "\n");
}

TEST(RunCommand, GuiThreadKeepsHandlingEventsWhileItWaits) {
    static int argc = 1;
    static char name[] = "command_runner_test";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (QCoreApplication::instance() == nullptr) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    bool fired = false;
    QTimer::singleShot(50, [&fired] { fired = true; });
    EXPECT_EQ(runCommand("sleep 0.4; echo done"), "done\n");
    EXPECT_TRUE(fired);
}

TEST(TerminateStartedCommands, EndsExactlyTheRunningCommands) {
    terminateStartedCommands();  // whatever earlier tests left running
    EXPECT_EQ(terminateStartedCommands(), 0);

    // A process that is not ours must survive.
    pid_t stranger = fork();
    ASSERT_GE(stranger, 0);
    if (stranger == 0) {
        execl("/bin/sleep", "sleep", "30", nullptr);
        _exit(127);
    }

    int status = 0;
    auto began = std::chrono::steady_clock::now();
    auto running = std::async(std::launch::async, [&status] {
        return runCommand("echo go; sleep 30", nullptr, &status);
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(terminateStartedCommands(), 1);
    EXPECT_EQ(running.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(running.get(), "go\n");
    EXPECT_EQ(status, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 5s);

    EXPECT_EQ(kill(stranger, 0), 0);
    kill(stranger, SIGKILL);
    waitpid(stranger, nullptr, 0);
}

TEST(TerminateStartedCommands, KillsACommandThatIgnoresTheRequest) {
    auto running = std::async(
        std::launch::async, [] { return runCommand("trap '' TERM; echo ready; sleep 30 & wait"); });
    std::this_thread::sleep_for(300ms);
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(terminateStartedCommands(), 1);
    EXPECT_EQ(running.wait_for(5s), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 4s);
}

// Once closing has begun the runner starts nothing more, so a merge that would begin after
// the running ones were ended cannot outlive the program. In a child process: the refusal
// lasts for the rest of the run.
TEST(RefuseNewCommands, LaterCommandsDoNotStart) {
    const std::string marker =
        (std::filesystem::temp_directory_path() / ("quivra-refused-" + std::to_string(getpid())))
            .string();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            refuseNewCommands();
            int status = 0;
            runCommand("touch '" + marker + "'", nullptr, &status);
            std::_Exit(std::filesystem::exists(marker) ? 1 : status == -1 ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
    std::filesystem::remove(marker);
}

}  // namespace
}  // namespace quivra

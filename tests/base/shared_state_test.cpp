#include "base/shared_state.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/message_box.h"
#include "support/temp_folder.h"

namespace quivra {
namespace {

using test::fileMode;
using test::TempFolder;
using test::writeBytes;

TEST(ExecutableDirectory, IsTheFolderOfTheRunningProgram) {
    const std::string folder = executableDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(folder + "/base_tests")) << folder;
}

TEST(LoadSharedState, ReadsConfigBesideTheProgramAndClosesItToOthers) {
    TempFolder folder;
    const std::string config = folder.file("config.ini");
    writeBytes(config,
               "[user]\nmid=9\ncookie=SESSDATA=x\nvip.status=1\n[download]\nthreadNumber=5\n"
               "[site]\napi=http://127.0.0.1:1/\n");
    ::chmod(config.c_str(), 0644);

    loadSharedState(folder.path() + "/");
    SharedState& state = sharedState();
    EXPECT_EQ(&state, &sharedState());
    EXPECT_EQ(state.programDirectory, folder.path());
    EXPECT_EQ(state.configPath, config);
    EXPECT_EQ(fileMode(config), 0600u);
    const UserRecord user = state.user.get();
    EXPECT_EQ(user.mid, "9");
    EXPECT_EQ(user.cookie, "SESSDATA=x");
    EXPECT_TRUE(user.vip.status);
    const DownloadSettings settings = state.download.get();
    EXPECT_EQ(settings.threadNumber, 5);
    EXPECT_EQ(settings.directory, folder.path() + "/download");
    EXPECT_EQ(state.site.api, "http://127.0.0.1:1");
    EXPECT_EQ(state.site.main, "https://www.quivra.com");

    // A folder without config.ini: every default, nothing created.
    TempFolder empty;
    loadSharedState(empty.path());
    EXPECT_EQ(sharedState().user.get().cookie, "");
    EXPECT_EQ(sharedState().download.get().threadNumber, 3);
    EXPECT_FALSE(std::filesystem::exists(empty.file("config.ini")));
}

TEST(SharedRecords, ReadersNeverSeeHalfAWrite) {
    Guarded<UserRecord>& user = sharedState().user;
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            UserRecord record;
            record.mid = std::to_string(i);
            record.name = std::to_string(i);
            user.set(record);
        }
        stop = true;
    });
    while (!stop) {
        const UserRecord record = user.get();
        if (record.mid != record.name) ++torn;
    }
    writer.join();
    EXPECT_EQ(torn.load(), 0);
}

TEST(MessageBox, WithoutPresenterTextIsRecorded) {
    setMessagePresenter(nullptr);
    takeRecordedMessages();
    showMessageBox("first");
    showMessageBox("second");
    EXPECT_EQ(takeRecordedMessages(), (std::vector<std::string>{"first", "second"}));
    EXPECT_TRUE(takeRecordedMessages().empty());
    for (int i = 0; i < 150; ++i) showMessageBox(std::to_string(i));
    const std::vector<std::string> kept = takeRecordedMessages();
    ASSERT_EQ(kept.size(), 100u);
    EXPECT_EQ(kept.front(), "50");
    EXPECT_EQ(kept.back(), "149");
}

TEST(MessageBox, PresenterGetsTheTextAndMayBeSwappedWhileWorkersShow) {
    std::atomic<int> shown{0};
    setMessagePresenter([&](const std::string& text) {
        if (text == "ping") ++shown;
    });
    showMessageBox("ping");
    EXPECT_EQ(shown.load(), 1);

    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([] {
            for (int i = 0; i < 500; ++i) showMessageBox("ping");
        });
    }
    for (int i = 0; i < 200; ++i) {
        setMessagePresenter(i % 2 ? MessagePresenter{} : [&](const std::string&) { ++shown; });
    }
    for (auto& worker : workers) worker.join();
    setMessagePresenter(nullptr);
    const size_t recorded = takeRecordedMessages().size();
    EXPECT_LE(recorded, 100u);
    EXPECT_GE(shown.load(), 1);
}

}  // namespace
}  // namespace quivra

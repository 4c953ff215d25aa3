// Subscriptions on the command line against the local site: what subscribe refuses, and
// sync adding each new video once, whatever happens to the programs that check.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "devsite/dev_site.h"
#include "download/list/sqlite_database.h"
#include "program_folder.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;
using test::ProgramRun;
using test::StartedProgram;

class SubscriptionCommandTest : public test::ProgramFolderSuite {
  protected:
    void SetUp() override {
        ProgramFolderSuite::SetUp();
        // No retries: a part that fails stays failed.
        test::writeBytes(configPath(), test::readBytes(configPath()) + "[download]\nretries=0\n");
        for (const char* file : {"downloads.db", "downloads.db-wal", "downloads.db-shm"})
            fs::remove(folder() / file);
        fs::remove_all(downloads());
        // Videos an earlier test added were published before this test's subscriptions.
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    }
    void TearDown() override { site().clearFaults(); }

    static fs::path downloads() { return folder() / "downloads"; }
    static std::string uploader() { return site().baseUrl() + "/" + devsite::kUploaderMid; }

    static void subscribe(const std::string& address) {
        const ProgramRun added = run({"subscribe", "add", address, "-o", downloads().string()});
        ASSERT_EQ(added.status, 0) << added.err;
    }

    // How many items the download list holds of each bvid.
    static std::map<std::string, int> listed() {
        const ProgramRun list = run({"list", "--json"});
        EXPECT_EQ(list.status, 0) << list.err;
        std::map<std::string, int> counts;
        for (const auto& item : nlohmann::json::parse(list.out, nullptr, false))
            ++counts[item["bvid"].get<std::string>()];
        return counts;
    }

    static std::int64_t storedCount(const std::string& sql) {
        // Never made here: a file this connection made would not be the program's.
        const fs::path path = folder() / "downloads.db";
        SqliteDatabase database;
        std::int64_t count = 0;
        if (fs::exists(path) && database.open(path.string())) database.queryInteger(sql, count);
        return count;
    }
};

TEST_F(SubscriptionCommandTest, AddRefusesWhatIsNoListAndRaisesAShortInterval) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{devsite::kOnePartBvid}, 1, "不是视频列表的地址"},
        {{"ml" + std::string(devsite::kPrivateFavouritesId)}, 1, "-403"},
        {{uploader(), "--every", "5m"}, 0, "raised to 10 minutes"},
        {{uploader(), "--every", "soon"}, 2, "not an interval"},
        {{uploader(), "--all", "--since", "2026-01-01"}, 2, "excludes"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"subscribe", "add"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramRun added = run(args);
        EXPECT_EQ(added.status, c.status) << c.args.back() << added.err;
        EXPECT_NE(added.err.find(c.says), std::string::npos) << added.err;
    }
    const ProgramRun list = run({"subscribe", "list", "--json"});
    ASSERT_EQ(list.status, 0) << list.err;
    const auto subscriptions = nlohmann::json::parse(list.out);
    ASSERT_EQ(subscriptions.size(), 1u);
    EXPECT_EQ(subscriptions[0]["interval"], 600);
    EXPECT_EQ(subscriptions[0]["name"], "木子手作");
    EXPECT_EQ(subscriptions[0]["kind"], "uploader");
}

// What sync found and fetched; the list shows it; remove leaves the files.
TEST_F(SubscriptionCommandTest, SyncFetchesTheNewVideosOnceAndRemoveKeepsTheirFiles) {
    subscribe(uploader());
    const std::string video = site().addNewVideo();
    const ProgramRun first = run({"sync"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("木子手作: 发现1个新视频"), std::string::npos) << first.out;
    // Not due again for six hours; asked to, it finds nothing more.
    const ProgramRun notDue = run({"sync"});
    EXPECT_EQ(notDue.status, 0) << notDue.err;
    EXPECT_EQ(notDue.out, "");
    const ProgramRun again = run({"sync", "1"});
    EXPECT_NE(again.out.find("没有新视频"), std::string::npos) << again.out;
    EXPECT_EQ(listed(), (std::map<std::string, int>{{video, 1}}));

    const ProgramRun table = run({"subscribe", "list"});
    const std::vector<std::string> lines = test::linesOf(table.out);
    ASSERT_EQ(lines.size(), 2u) << table.out;
    EXPECT_EQ(lines[0], "ID\t名称\t类型\t文件夹\t上次检查\t新视频\t下次检查\t状态");
    EXPECT_TRUE(
        lines[1].starts_with("1\t木子手作\tUP主投稿\t" + (downloads() / "木子手作").string()))
        << lines[1];
    EXPECT_TRUE(lines[1].ends_with("\t没有新视频")) << lines[1];

    const ProgramRun removed = run({"subscribe", "remove", "1"});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(run({"subscribe", "remove", "1"}).status, 1);
    EXPECT_EQ(storedCount("SELECT count(*) FROM subscription_videos"), 0);
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(downloads()))
        files += entry.path().extension() == ".mp4";
    EXPECT_EQ(files, 1);
}

// A part that failed stays in the list with its reason: later checks do not add it again.
TEST_F(SubscriptionCommandTest, AFailedVideoIsNotAddedAgain) {
    subscribe(uploader());
    const std::string video = site().addNewVideo();
    const int cid = 19000000 + std::stoi(video.substr(6));
    site().setFault(video + "-" + std::to_string(cid) + "-80.m4s", {devsite::FaultKind::NotFound});
    const ProgramRun failed = run({"sync"});
    EXPECT_EQ(failed.status, 1) << failed.out << failed.err;
    const ProgramRun again = run({"sync", "--now"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find("没有新视频"), std::string::npos) << again.out;
    const ProgramRun list = run({"list", "--json"});
    const auto items = nlohmann::json::parse(list.out);
    ASSERT_EQ(items.size(), 1u) << list.out;
    EXPECT_EQ(items[0]["state"], "failed");
    EXPECT_NE(items[0]["error"], "");
}

// Two syncs at once: the store lets one check each subscription; every video comes once.
TEST_F(SubscriptionCommandTest, TwoSyncsAtOnceAddEachVideoOnce) {
    subscribe(uploader());
    subscribe("ml" + std::string(devsite::kFavouritesId));
    std::vector<std::string> videos;
    for (int i = 0; i < 3; ++i) videos.push_back(site().addNewVideo());
    site().setDelayMs("/x/web-interface/view", 200);
    StartedProgram first(program(), {"sync"});
    StartedProgram second(program(), {"sync"});
    const ProgramRun one = first.finish();
    const ProgramRun two = second.finish();
    site().setDelayMs("/x/web-interface/view", 0);
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(two.status, 0) << two.err;
    // Both lists hold the videos; the two folders each take them once.
    const std::map<std::string, int> counts = listed();
    for (const std::string& video : videos) EXPECT_EQ(counts.at(video), 2) << video;
    EXPECT_EQ(storedCount("SELECT count(*) FROM subscription_videos"), 6);
}

// Killed while checking, the next sync finishes the check: nothing lost, nothing twice.
TEST_F(SubscriptionCommandTest, ASyncKilledMidCheckIsCompletedByTheNext) {
    subscribe(uploader());
    std::vector<std::string> videos;
    for (int i = 0; i < 5; ++i) videos.push_back(site().addNewVideo());
    site().setDelayMs("/x/web-interface/view", 400);
    {
        StartedProgram sync(program(), {"sync"});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (storedCount("SELECT count(*) FROM subscription_videos") < 2 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        sync.signal(SIGKILL);
        EXPECT_EQ(sync.finish().status, 128 + SIGKILL);
    }
    site().setDelayMs("/x/web-interface/view", 0);
    const std::int64_t seenBefore = storedCount("SELECT count(*) FROM subscription_videos");
    EXPECT_GE(seenBefore, 2);
    EXPECT_LT(seenBefore, 5);
    EXPECT_EQ(storedCount("SELECT count(DISTINCT bvid) FROM items"), seenBefore);

    const ProgramRun next = run({"sync", "--now"});
    EXPECT_EQ(next.status, 0) << next.err;
    const std::map<std::string, int> counts = listed();
    EXPECT_EQ(counts.size(), videos.size());
    for (const std::string& video : videos) EXPECT_EQ(counts.at(video), 1) << video;
}

}  // namespace
}  // namespace quivra

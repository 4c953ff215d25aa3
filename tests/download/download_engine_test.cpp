#include "download/engine/download_engine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "base/proxy_route.h"
#include "devsite/dev_site.h"
#include "download/engine/control_file.h"
#include "net/text_encoding.h"
#include "support/http_proxy.h"
#include "support/small_disk.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::int64_t kFileBytes = 6LL << 20;
const std::string kMediaFile = std::string(devsite::kLargeBvid) + "-6101-80.m4s";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The sockets of this process that wait for others to connect: TCP listeners other than
// on `exceptPort`, and UDP sockets without a peer. "tcp 0.0.0.0:6979" and so on.
std::vector<std::string> listeningSockets(int exceptPort) {
    std::set<std::string> ours;  // socket inodes
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = fs::read_symlink(entry.path(), error).string();
        if (!error && target.rfind("socket:[", 0) == 0) {
            ours.insert(target.substr(8, target.size() - 9));
        }
    }
    std::vector<std::string> found;
    for (const std::string table : {"tcp", "tcp6", "udp", "udp6"}) {
        std::ifstream in("/proc/self/net/" + table);
        std::string line;
        std::getline(in, line);  // the heading
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
                timeout >> inode;
            if (ours.count(inode) == 0) continue;
            const int port = std::stoi(local.substr(local.find(':') + 1), nullptr, 16);
            const bool waiting = table.rfind("tcp", 0) == 0
                                     ? state == "0A" && port != exceptPort
                                     : remote.substr(remote.find(':') + 1) == "0000";
            if (waiting) found.push_back(table + " " + local);
        }
    }
    return found;
}

class DownloadEngineTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        devsite::Options options;
        options.largeFileBytes = kFileBytes;
        options.maxConnections = 48;
        options.threads = 80;
        site = new devsite::DevSite(options);
        ASSERT_TRUE(site->start());
        expected = new std::string(readFile(site->mediaPath(kMediaFile)));
        ASSERT_EQ(static_cast<std::int64_t>(expected->size()), kFileBytes);
    }
    static void TearDownTestSuite() {
        delete site;
        delete expected;
        site = nullptr;
        expected = nullptr;
    }

    void SetUp() override {
        // aria2 allows one session per process: the program's own engine gives it up.
        downloadEngine().uninit();
        site->clearFaults();
        site->clearRequests();
        site->setBytesPerSecond(0);
        folder = fs::temp_directory_path() /
                 ("quivra-engine-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string mediaUrl(const std::string& file = kMediaFile) const {
        return site->baseUrl() + "/media/" + file;
    }

    // Polls like the download job does; returns the last state name.
    static std::string waitForEnd(DownloadEngine& engine, std::uint32_t task,
                                  int* maxInUse = nullptr, std::chrono::seconds limit = 60s) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        std::string state;
        while (std::chrono::steady_clock::now() < deadline) {
            state = engine.taskStateName(task);
            if (maxInUse != nullptr) *maxInUse = std::max(*maxInUse, engine.taskSourcesInUse(task));
            if (state == "COMPLETE" || state == "ERROR") break;
            std::this_thread::sleep_for(20ms);
        }
        return state;
    }

    static devsite::DevSite* site;
    static std::string* expected;
    fs::path folder;
};

devsite::DevSite* DownloadEngineTest::site = nullptr;
std::string* DownloadEngineTest::expected = nullptr;

TEST_F(DownloadEngineTest, FetchesOneFileOverSeveralConnections) {
    site->setBytesPerSecond(1 << 20);  // slow enough that the connections overlap
    DownloadEngine engine;
    ASSERT_TRUE(engine.init(folder.string() + "/", true, true));
    std::uint32_t task =
        engine.createTask(mediaUrl(), "http://www.example.test/video/x", devsite::kMemberCookie,
                          "stream.m4s", folder.string(), 0, 1, 1);
    ASSERT_NE(task, 0u);
    EXPECT_EQ(engine.taskStateName(task), "PAUSE");  // held until started
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(site->bytesServed(kMediaFile), 0);

    ASSERT_TRUE(engine.startTask(task));
    EXPECT_FALSE(engine.startTask(task));  // already started
    int maxInUse = 0;
    ASSERT_EQ(waitForEnd(engine, task, &maxInUse), "COMPLETE");
    EXPECT_GE(maxInUse, 4);
    EXPECT_EQ(engine.taskTotalSize(task), kFileBytes);
    EXPECT_EQ(engine.taskDownloadedSize(task), kFileBytes);
    EXPECT_EQ(engine.taskPercent(task), 100u);
    EXPECT_EQ(engine.taskSourceCount(task), 1);

    const fs::path file = folder / "stream.m4s";
    EXPECT_TRUE(readFile(file) == *expected);
    EXPECT_TRUE(isCompleteDownload(file.string()));

    auto requests = site->requestsTo("/media/" + kMediaFile);
    ASSERT_GE(requests.size(), 4u);
    int ranged = 0;
    for (const auto& request : requests) {
        EXPECT_EQ(request.header("Referer"), "http://www.example.test/video/x");
        EXPECT_EQ(request.header("Cookie"), devsite::kMemberCookie);
        ranged += request.hasHeader("Range") ? 1 : 0;
    }
    EXPECT_GE(ranged, 4);
    engine.uninit();
    EXPECT_EQ(engine.taskStateName(task), "NOITEM");  // tasks end with the engine
}

TEST_F(DownloadEngineTest, DroppedConnectionsAreResumedWithinTheTask) {
    devsite::Fault fault;
    fault.kind = devsite::FaultKind::DropAfterBytes;
    fault.afterBytes = 300000;
    fault.times = 3;
    site->setFault(kMediaFile, fault);
    DownloadEngine engine;
    ASSERT_TRUE(engine.init(folder.string(), true));
    std::uint32_t task =
        engine.createTask(mediaUrl(), "", "", "dropped.m4s", folder.string(), 0, 1, 1);
    ASSERT_NE(task, 0u);
    ASSERT_TRUE(engine.startTask(task));
    ASSERT_EQ(waitForEnd(engine, task), "COMPLETE");
    EXPECT_TRUE(readFile(folder / "dropped.m4s") == *expected);
    EXPECT_TRUE(isCompleteDownload((folder / "dropped.m4s").string()));
}

TEST_F(DownloadEngineTest, MissingFileEndsInErrorWithItsText) {
    devsite::Fault fault;
    fault.kind = devsite::FaultKind::NotFound;
    site->setFault(kMediaFile, fault);
    DownloadEngine engine;
    ASSERT_TRUE(engine.init(folder.string(), true));
    std::uint32_t task =
        engine.createTask(mediaUrl(), "", "", "missing.m4s", folder.string(), 0, 1, 1);
    ASSERT_NE(task, 0u);
    ASSERT_TRUE(engine.startTask(task));
    ASSERT_EQ(waitForEnd(engine, task, nullptr, 30s), "ERROR");
    EXPECT_EQ(engine.taskErrorText(task), localText("无效的DOWN地址"));
    EXPECT_FALSE(engine.startTask(task));
    EXPECT_FALSE(isCompleteDownload((folder / "missing.m4s").string()));

    // An unwritable folder is the file's fault, not the address's.
    fs::path blocked = folder / "blocked";
    std::ofstream(blocked) << "a file where a folder should be";
    site->clearFaults();
    std::uint32_t second =
        engine.createTask(mediaUrl(), "", "", "x.m4s", (blocked / "sub").string(), 0, 1, 1);
    ASSERT_NE(second, 0u);
    ASSERT_TRUE(engine.startTask(second));
    ASSERT_EQ(waitForEnd(engine, second, nullptr, 30s), "ERROR");
    EXPECT_EQ(engine.taskErrorText(second), localText("创建文件失败"));
}

TEST_F(DownloadEngineTest, DeadServerEndsInErrorAfterItsRetries) {
    DownloadEngine engine;
    ASSERT_TRUE(engine.init(folder.string(), true));
    devsite::DevSite closed;  // started and stopped: its port refuses connections
    ASSERT_TRUE(closed.start());
    const std::string url = closed.baseUrl() + "/media/" + kMediaFile;
    closed.stop();
    std::uint32_t task = engine.createTask(url, "", "", "dead.m4s", folder.string(), 0, 1, 1);
    ASSERT_NE(task, 0u);
    ASSERT_TRUE(engine.startTask(task));
    ASSERT_EQ(waitForEnd(engine, task, nullptr, 60s), "ERROR");
    // aria2 gives a refused connection no cause of its own.
    EXPECT_EQ(engine.taskErrorText(task), localText("未知错误"));
    EXPECT_FALSE(isCompleteDownload((folder / "dead.m4s").string()));
}

TEST_F(DownloadEngineTest, StoppedEngineLeavesAPartialFileThatANewEngineResumes) {
    site->setBytesPerSecond(256 << 10);
    const fs::path file = folder / "resumed.m4s";
    std::int64_t servedFirst = 0;
    {
        DownloadEngine engine;
        ASSERT_TRUE(engine.init(folder.string(), true));
        std::uint32_t task =
            engine.createTask(mediaUrl(), "", "", "resumed.m4s", folder.string(), 0, 1, 1);
        ASSERT_TRUE(engine.startTask(task));
        auto deadline = std::chrono::steady_clock::now() + 30s;
        while (engine.taskDownloadedSize(task) < kFileBytes / 3 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        ASSERT_GE(engine.taskDownloadedSize(task), kFileBytes / 3);
        ASSERT_EQ(engine.taskStateName(task), "DOWNLOAD");
        auto began = std::chrono::steady_clock::now();
        engine.uninit();
        EXPECT_LT(std::chrono::steady_clock::now() - began, 3s);  // prompt
        servedFirst = site->bytesServed(kMediaFile);
    }
    ASSERT_TRUE(fs::exists(file));
    EXPECT_FALSE(isCompleteDownload(file.string()));
    // Its control file can be read; any cut of it cannot.
    const std::string control = readFile(file.string() + ".aria2");
    EXPECT_TRUE(isReadableControlFile(file.string() + ".aria2"));
    for (const size_t kept : {size_t{0}, size_t{1}, control.size() / 2, control.size() - 1}) {
        std::ofstream(folder / "cut.aria2", std::ios::binary) << control.substr(0, kept);
        EXPECT_FALSE(isReadableControlFile((folder / "cut.aria2").string())) << kept;
    }

    // Still paced, so that what the site counts is what the engine asked for.
    site->setBytesPerSecond(2 << 20);
    site->clearRequests();
    DownloadEngine engine;
    ASSERT_TRUE(engine.init(folder.string(), true));
    std::uint32_t task =
        engine.createTask(mediaUrl(), "", "", "resumed.m4s", folder.string(), 0, 1, 1);

    ASSERT_TRUE(engine.startTask(task));
    ASSERT_EQ(waitForEnd(engine, task), "COMPLETE");
    EXPECT_TRUE(readFile(file) == *expected);
    EXPECT_TRUE(isCompleteDownload(file.string()));
    const std::int64_t servedSecond = site->bytesServed(kMediaFile) - servedFirst;
    EXPECT_GT(servedFirst, kFileBytes / 4);
    EXPECT_LT(servedSecond, kFileBytes - kFileBytes / 4);  // not started over
    for (const auto& request : site->requestsTo("/media/" + kMediaFile)) {
        EXPECT_NE(request.header("Range").rfind("bytes=0-", 0), 0u) << request.header("Range");
    }
}

TEST_F(DownloadEngineTest, StopStartAndDeleteWithinOneEngine) {
    site->setBytesPerSecond(256 << 10);
    DownloadEngine engine;
    ASSERT_TRUE(engine.init(folder.string(), true));
    std::uint32_t task =
        engine.createTask(mediaUrl(), "", "", "paused.m4s", folder.string(), 0, 1, 1);
    ASSERT_TRUE(engine.startTask(task));
    while (engine.taskDownloadedSize(task) < (1 << 20)) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(engine.stopTask(task));
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (engine.taskStateName(task) != "PAUSE" && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(engine.taskStateName(task), "PAUSE");
    EXPECT_FALSE(isCompleteDownload((folder / "paused.m4s").string()));

    site->setBytesPerSecond(0);
    ASSERT_TRUE(engine.startTask(task));
    ASSERT_EQ(waitForEnd(engine, task), "COMPLETE");
    EXPECT_TRUE(readFile(folder / "paused.m4s") == *expected);

    EXPECT_TRUE(engine.deleteTask(task));
    EXPECT_EQ(engine.taskStateName(task), "NOITEM");
    EXPECT_EQ(engine.taskErrorText(task), "");
    EXPECT_EQ(engine.taskTotalSize(task), 0);
    EXPECT_FALSE(engine.deleteTask(task));
    EXPECT_TRUE(fs::exists(folder / "paused.m4s"));  // deleting a task keeps its file
}

TEST_F(DownloadEngineTest, ManyWorkersUseTheEngineAtOnce) {
    DownloadEngine engine;
    ASSERT_TRUE(engine.init(folder.string(), true));
    std::vector<std::future<std::string>> results;
    for (int i = 0; i < 4; ++i) {
        results.push_back(std::async(std::launch::async, [&, i] {
            const std::string name = "part" + std::to_string(i) + ".m4s";
            std::uint32_t task =
                engine.createTask(mediaUrl(), "", "", name, folder.string(), 0, 1, 1);
            if (task == 0 || !engine.startTask(task)) return std::string("not started");
            std::string state = waitForEnd(engine, task);
            if (state != "COMPLETE") return state;
            return readFile(folder / name) == *expected ? std::string("ok") : "different";
        }));
    }
    for (auto& result : results) EXPECT_EQ(result.get(), "ok");
}

TEST_F(DownloadEngineTest, RefusesWhatItCannotDo) {
    DownloadEngine engine;
    // Not initialised: nothing is created or started.
    EXPECT_EQ(engine.createTask(mediaUrl(), "", "", "a.m4s", folder.string(), 0, 1, 1), 0u);
    EXPECT_FALSE(engine.startTask(1));

    ASSERT_TRUE(engine.init(folder.string(), false));
    EXPECT_TRUE(engine.init(folder.string(), false));  // already running
    DownloadEngine second;
    EXPECT_FALSE(second.init(folder.string(), true));  // one session per process

    EXPECT_EQ(engine.createTask(mediaUrl(), "", "", "../escape.m4s", folder.string(), 0, 1, 1), 0u);
    EXPECT_EQ(engine.createTask("", "", "", "a.m4s", folder.string(), 0, 1, 1), 0u);
    EXPECT_EQ(engine.createTask("not an address", "", "", "a.m4s", folder.string(), 0, 1, 1), 0u);

    // A cookie with a line break cannot add header lines of its own.
    std::uint32_t task = engine.createTask(mediaUrl(), "", "a=1\r\nX-Injected: yes", "c.m4s",
                                           folder.string(), 0, 1, 1);
    ASSERT_NE(task, 0u);
    ASSERT_TRUE(engine.startTask(task));
    ASSERT_EQ(waitForEnd(engine, task), "COMPLETE");
    for (const auto& request : site->requestsTo("/media/" + kMediaFile)) {
        EXPECT_FALSE(request.hasHeader("X-Injected"));
    }

    for (std::uint32_t unknown : {0u, 9999u}) {
        EXPECT_EQ(engine.taskStateName(unknown), "NOITEM");
        EXPECT_EQ(engine.taskErrorText(unknown), "");
        EXPECT_EQ(engine.taskDownloadedSize(unknown), 0);
        EXPECT_EQ(engine.taskPercent(unknown), 0u);
        EXPECT_EQ(engine.taskSpeed(unknown), 0);
        EXPECT_FALSE(engine.stopTask(unknown));
    }
    engine.uninit();
    EXPECT_TRUE(second.init(folder.string(), true));  // free again once the first ended
}

TEST_F(DownloadEngineTest, ExistingFileIsReplacedOrKeptByTheRenameFlag) {
    DownloadEngine engine;
    ASSERT_TRUE(engine.init(folder.string(), true));
    std::ofstream(folder / "old.m4s") << "stale";
    std::uint32_t task = engine.createTask(mediaUrl(), "", "", "old.m4s", folder.string(), 0, 1, 0);
    ASSERT_TRUE(engine.startTask(task));
    ASSERT_EQ(waitForEnd(engine, task), "COMPLETE");
    EXPECT_TRUE(readFile(folder / "old.m4s") == *expected);

    std::ofstream(folder / "kept.m4s") << "keep me";
    task = engine.createTask(mediaUrl(), "", "", "kept.m4s", folder.string(), 0, 0, 0);
    ASSERT_TRUE(engine.startTask(task));
    ASSERT_EQ(waitForEnd(engine, task), "COMPLETE");
    EXPECT_EQ(readFile(folder / "kept.m4s"), "keep me");
    EXPECT_TRUE(readFile(folder / "kept.1.m4s") == *expected);
}

// A disk that fills while a file arrives fails the task with "写文件失败" and leaves an
// empty control file beside the partial file; once there is room, a new task for the
// file fetches it anew instead of failing on that control file for good.
TEST_F(DownloadEngineTest, FileCutShortByAFullDiskIsFetchedAnewOnceThereIsRoom) {
    test::SmallDisk disk(folder / "disk", 2 << 20);
    ASSERT_TRUE(disk.mounted());
    DownloadEngine engine;
    ASSERT_TRUE(engine.init(folder.string(), true));
    std::uint32_t task =
        engine.createTask(mediaUrl(), "", "", "full.m4s", disk.path().string(), 0, 1, 1);
    ASSERT_TRUE(engine.startTask(task));
    ASSERT_EQ(waitForEnd(engine, task), "ERROR");
    EXPECT_EQ(engine.taskErrorText(task), localText("写文件失败"));

    ASSERT_TRUE(disk.resize(16 << 20));
    task = engine.createTask(mediaUrl(), "", "", "full.m4s", disk.path().string(), 0, 1, 1);
    ASSERT_TRUE(engine.startTask(task));
    ASSERT_EQ(waitForEnd(engine, task), "COMPLETE");
    EXPECT_TRUE(readFile(disk.path() / "full.m4s") == *expected);
}

// Only plain http and https addresses become tasks: nothing else may make the engine a
// peer of a swarm, contact a tracker or read a local file, and while it downloads the
// engine waits for connections on no port at all.
TEST_F(DownloadEngineTest, TakesOnlyHttpAddressesAndListensNowhere) {
    DownloadEngine engine;
    ASSERT_TRUE(engine.init(folder.string(), true));
    const std::vector<std::string> refused = {
        "magnet:?xt=urn:btih:" + std::string(40, 'b') + "&tr=" + site->baseUrl() + "/announce",
        "file:///etc/hostname",
        mediaUrl("x.torrent"),
        mediaUrl("x.metalink"),
        mediaUrl("x.META4#part"),
        "ftp://127.0.0.1/x.m4s",
    };
    for (const std::string& address : refused) {
        const std::uint32_t task =
            engine.createTask(address, "", "", "refused.m4s", folder.string(), 0, 1, 1);
        EXPECT_EQ(task, 0u) << address;
        if (task != 0) engine.startTask(task);
    }

    site->setBytesPerSecond(1 << 20);
    const std::string upper = "HTTP" + mediaUrl().substr(4);  // a scheme's case does not matter
    const std::uint32_t task =
        engine.createTask(upper, "", "", "plain.m4s", folder.string(), 0, 1, 1);
    ASSERT_NE(task, 0u);
    ASSERT_TRUE(engine.startTask(task));
    auto deadline = std::chrono::steady_clock::now() + 30s;
    while (engine.taskDownloadedSize(task) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(listeningSockets(site->port()), std::vector<std::string>{});
    ASSERT_EQ(waitForEnd(engine, task), "COMPLETE");
}

// A server that cuts every connection, or promises more bytes than it sends, fails the
// task with the engine's network text, not with "未知错误" or "读文件失败".
TEST_F(DownloadEngineTest, BrokenAnswersEndInTheNetworkErrorText) {
    struct Case {
        std::string media;
        devsite::Fault fault;
        int tries;  // the later ones resume what the first left
    };
    const Case cases[] = {
        {kMediaFile, {devsite::FaultKind::DropAfterBytes, 100000, -1}, 1},
        {std::string(devsite::kOnePartBvid) + "-3001-30280.m4s",
         {devsite::FaultKind::LongerLength, 1000, -1},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.media);
        site->setFault(c.media, c.fault);
        DownloadEngine engine;
        ASSERT_TRUE(engine.init(folder.string(), true));
        std::string text;
        for (int attempt = 0; attempt < c.tries; ++attempt) {
            const std::uint32_t task =
                engine.createTask(mediaUrl(c.media), "", "", c.media, folder.string(), 0, 1, 1);
            ASSERT_TRUE(engine.startTask(task));
            ASSERT_EQ(waitForEnd(engine, task), "ERROR");
            text = localToUtf8(engine.taskErrorText(task));
        }
        EXPECT_EQ(text, "http下载中无ip可用");
    }
}

TEST(DownloadEngineTables, NamesAndTexts) {
    EXPECT_EQ(DownloadEngine::stateName(0), "NOITEM");
    EXPECT_EQ(DownloadEngine::stateName(3), "DOWNLOAD");
    EXPECT_EQ(DownloadEngine::stateName(6), "STOPPENDING");
    EXPECT_EQ(DownloadEngine::stateName(7), "");
    EXPECT_EQ(DownloadEngine::stateName(-1), "");
    EXPECT_EQ(DownloadEngine::errorText(0), localText("未知错误"));
    EXPECT_EQ(DownloadEngine::errorText(7), localText("删除文件失败失败"));
    EXPECT_EQ(DownloadEngine::errorText(64), localText("任务超时"));
    EXPECT_EQ(DownloadEngine::errorText(67), localText("TaskId 非法"));
    EXPECT_EQ(DownloadEngine::errorText(8), "");
    EXPECT_EQ(DownloadEngine::errorText(17), "");
}

TEST(CompleteDownload, ControlFileMarksAPartialFile) {
    fs::path folder = fs::temp_directory_path() / ("quivra-complete-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / "a.m4s";
    EXPECT_FALSE(isCompleteDownload(file.string()));
    std::ofstream(file) << "bytes";
    EXPECT_TRUE(isCompleteDownload(file.string()));
    std::ofstream(folder / "a.m4s.aria2") << "control";
    EXPECT_FALSE(isCompleteDownload(file.string()));
    EXPECT_FALSE(isCompleteDownload(folder.string()));  // a folder is no download
    EXPECT_FALSE(isCompleteDownload(""));
    fs::remove_all(folder);
}

}  // namespace
}  // namespace quivra

namespace quivra {
namespace {

// Bytes the task fetched over `span`, once it is under way.
std::int64_t fetchedOver(DownloadEngine& engine, std::uint32_t task, std::chrono::seconds span) {
    const std::int64_t before = engine.taskDownloadedSize(task);
    std::this_thread::sleep_for(span);
    return engine.taskDownloadedSize(task) - before;
}

// The engine keeps the average of its last ten seconds under the limit, so that is the
// span each figure is taken over; after a change the next ten seconds are the new limit's.
TEST_F(DownloadEngineTest, SpeedLimitHoldsOverTenSecondsAndAChangeAppliesToARunningTask) {
    constexpr std::int64_t kLimit = 150 << 10;
    DownloadEngine engine;
    ASSERT_TRUE(engine.init(folder.string(), true, true));
    ASSERT_TRUE(engine.setSpeedLimit(kLimit));
    const std::uint32_t task =
        engine.createTask(mediaUrl(), "", "", "stream.m4s", folder.string(), 0, 1, 1);
    ASSERT_TRUE(engine.startTask(task));
    std::this_thread::sleep_for(1s);  // past the connections' first burst

    const double limited = static_cast<double>(fetchedOver(engine, task, 10s)) / 10;
    EXPECT_NEAR(limited, kLimit, kLimit * 0.15);

    ASSERT_TRUE(engine.setSpeedLimit(2 * kLimit));
    const double raised = static_cast<double>(fetchedOver(engine, task, 10s)) / 10;
    EXPECT_NEAR(raised, 2 * kLimit, 2 * kLimit * 0.15);

    ASSERT_TRUE(engine.setSpeedLimit(0));
    ASSERT_EQ(waitForEnd(engine, task, nullptr, 10s), "COMPLETE");
    EXPECT_TRUE(readFile(folder / "stream.m4s") == *expected);
}

TEST_F(DownloadEngineTest, TasksTakeTheRoutesProxyAndNoneFromTheEnvironment) {
    test::HttpProxy dead;
    dead.stop();
    // The environment's proxy counts only through the route: with none, tasks go direct.
    ::setenv("http_proxy", dead.url().c_str(), 1);
    ::setenv("all_proxy", dead.url().c_str(), 1);
    DownloadEngine engine;
    const bool started = engine.init(folder.string(), true, true);
    ::unsetenv("http_proxy");
    ::unsetenv("all_proxy");
    ASSERT_TRUE(started);
    ASSERT_TRUE(engine.setProxy(ProxyRoute{}));
    std::uint32_t task =
        engine.createTask(mediaUrl(), "", "", "direct.m4s", folder.string(), 0, 1, 1);
    ASSERT_TRUE(engine.startTask(task));
    ASSERT_EQ(waitForEnd(engine, task), "COMPLETE");

    test::HttpProxy proxy;
    ProxyRoute route;
    route.http = parseProxyAddress("http://u:p@127.0.0.1:" + std::to_string(proxy.port())).server;
    ASSERT_TRUE(engine.setProxy(route));
    task = engine.createTask(mediaUrl(), "", "", "proxied.m4s", folder.string(), 0, 1, 1);
    ASSERT_TRUE(engine.startTask(task));
    ASSERT_EQ(waitForEnd(engine, task), "COMPLETE");
    EXPECT_TRUE(readFile(folder / "proxied.m4s") == *expected);
    const auto log = proxy.log();
    ASSERT_FALSE(log.empty());
    for (const auto& entry : log) {
        EXPECT_EQ(entry.target, mediaUrl());
        EXPECT_EQ(entry.authorization, "Basic dTpw");
    }
}

}  // namespace
}  // namespace quivra

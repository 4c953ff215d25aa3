// The download job against the local site with the real engine and the real ffmpeg,
// through a list kept in memory.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "base/message_box.h"
#include "base/shared_state.h"
#include "devsite/dev_site.h"
#include "download/command_runner.h"
#include "download/download_engine.h"
#include "download/download_job.h"
#include "download/download_start.h"
#include "download/merge_command.h"
#include "download/progress_text.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"
#include "support/local_site.h"
#include "support/small_disk.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOnePartCid = "3001";
constexpr const char* kVideoTitle = "Job";

// The list of the main window, in memory: every state written is kept in order (UTF-8).
class MemoryView : public DownloadView {
  public:
    struct Row {
        std::string title;  // local text
        std::string cid;
        std::string state;  // local text
        bool checked = false;
        std::vector<std::string> history;
    };

    void addRow(const std::string& titleUtf8, const std::string& cid) {
        std::lock_guard lock(mutex_);
        rows_.push_back({utf8ToLocalText(titleUtf8), cid, "", false, {}});
    }
    void setState(int row, const std::string& utf8) {
        std::lock_guard lock(mutex_);
        rows_.at(row).state = utf8ToLocalText(utf8);
    }
    std::vector<std::string> history(int row) const {
        std::lock_guard lock(mutex_);
        return rows_.at(row).history;
    }
    std::string state(int row) const {
        std::lock_guard lock(mutex_);
        return localToUtf8(rows_.at(row).state);
    }

    std::optional<int> videoQuality = 64;
    std::optional<int> audioQuality = 30280;

    int rowCount() override {
        std::lock_guard lock(mutex_);
        return static_cast<int>(rows_.size());
    }
    std::string cellText(int row, int column) override {
        std::lock_guard lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size())) return "";
        const Row& r = rows_[row];
        switch (column) {
            case NumberColumn:
                return std::to_string(row + 1);
            case TitleColumn:
                return r.title;
            case CidColumn:
                return r.cid;
            case StateColumn:
                return r.state;
            default:
                return "";
        }
    }
    bool isChecked(int row) override {
        std::lock_guard lock(mutex_);
        return rows_.at(row).checked;
    }
    std::optional<int> videoQualityData() override { return videoQuality; }
    std::optional<int> audioQualityData() override { return audioQuality; }
    void clearVideoQualitySelection() override { videoQuality.reset(); }
    void setStateText(int row, const std::string& text) override {
        std::lock_guard lock(mutex_);
        rows_.at(row).state = text;
        rows_.at(row).history.push_back(localToUtf8(text));
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Row> rows_;
};

struct StreamCounts {
    int video = 0;
    int audio = 0;
    std::string frameSize;  // "WIDTHxHEIGHT" of the video stream
};

// What ffprobe reads from a file.
StreamCounts probe(const fs::path& file) {
    StreamCounts counts;
    const std::string out =
        runCommand("ffprobe -v error -show_entries stream=codec_type,width,height -of csv=p=0 " +
                   shellQuote(file.string()));
    std::smatch match;
    std::string rest = out;
    const std::regex line(R"((video|audio)(?:,(\d+),(\d+))?)");
    while (std::regex_search(rest, match, line)) {
        if (match[1] == "video") {
            ++counts.video;
            counts.frameSize = match[2].str() + "x" + match[3].str();
        } else {
            ++counts.audio;
        }
        rest = match.suffix();
    }
    return counts;
}

bool isProgressText(const std::string& text) {
    static const std::regex pattern(R"(\d+(\.\d{1,2})?MB/\d+(\.\d{1,2})?MB)");
    return std::regex_match(text, pattern);
}

// Whether the wanted texts appear in this order (others may lie between them).
bool appearInOrder(const std::vector<std::string>& history,
                   const std::vector<std::string>& wanted) {
    size_t next = 0;
    for (const std::string& text : history) {
        if (next < wanted.size() && text == wanted[next]) ++next;
    }
    return next == wanted.size();
}

std::string mediaName(const std::string& cid, int streamId) {
    return std::string(devsite::kOnePartBvid) + "-" + cid + "-" + std::to_string(streamId) + ".m4s";
}

// Polls until the condition holds or the time is up; returns whether it held.
template <class Condition>
bool waitUntil(Condition condition, std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string repeated(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

// A stream list answer offering one video and one audio stream at these addresses.
std::string playurlAnswer(const std::string& video, const std::string& audio) {
    const std::string entry = R"({"id":64,"baseUrl":")" + video + R"("})";
    return R"({"code":0,"message":"0","data":{"dash":{"video":[)" + entry + "," + entry +
           R"(],"audio":[{"id":30280,"baseUrl":")" + audio + R"("}]}}})";
}

// Runs the program's ffmpeg with PATH leading to `tools` first, for as long as it lives.
class ToolsFirst {
  public:
    explicit ToolsFirst(const fs::path& tools)
        : saved_(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin") {
        ::setenv("PATH", (tools.string() + ":" + saved_).c_str(), 1);
    }
    ~ToolsFirst() { ::setenv("PATH", saved_.c_str(), 1); }
    ToolsFirst(const ToolsFirst&) = delete;
    ToolsFirst& operator=(const ToolsFirst&) = delete;

  private:
    std::string saved_;
};

class DownloadJobTest : public test::LocalSiteSuite {
  protected:
    static void SetUpTestSuite() {
        ASSERT_NO_FATAL_FAILURE(startSite(test::processFolder("quivra-job-test")));
        loadSharedState(folder().string());
        ASSERT_TRUE(downloadEngine().init(folder().string(), true));
    }

    static void TearDownTestSuite() {
        downloadEngine().uninit();
        stopSite();
    }

    void SetUp() override {
        SharedState& state = sharedState();
        state.site.api = site().baseUrl();
        state.site.main = site().baseUrl();
        state.user.set({});
        state.qualities.set({});
        VideoRecord video;
        video.bvid = devsite::kOnePartBvid;
        video.title = kVideoTitle;
        state.video.set(video);
        std::error_code ignored;
        fs::remove_all(folder() / "download", ignored);
        useDirectory(folder() / "download");
        site().clearFaults();
        site().clearOverrides();
        site().setBytesPerSecond(0);
        site().clearRequests();
        setJobTimings({std::chrono::milliseconds(100), std::chrono::seconds(90)});
    }

    void TearDown() override { setJobTimings({}); }

    // Downloads go to this folder, with its temporary and video folders made.
    void useDirectory(const fs::path& directory) {
        directory_ = directory;
        fs::create_directories(directory_ / "temp");
        fs::create_directories(directory_ / kVideoTitle);
        sharedState().download.set({directory_.string(), 3});
    }

    fs::path temp(const std::string& name) const { return directory_ / "temp" / name; }
    fs::path output(const std::string& name) const { return directory_ / kVideoTitle / name; }
    size_t mediaRequests() const { return site().requestsTo("/media").size(); }

    fs::path directory_;
};

TEST(DownloadNames, RowNumbersPageNamesAndOutputPath) {
    EXPECT_EQ(rowNumberText(0), "01");
    EXPECT_EQ(rowNumberText(8), "09");
    EXPECT_EQ(rowNumberText(9), "10");
    EXPECT_EQ(rowNumberText(99), "100");
    EXPECT_EQ(pageName("a b/c"), "a_b_c");
    EXPECT_EQ(outputFilePath("/d", "T", 0, "a b/c"), "/d/T/01_a_b_c.mp4");
    // Chinese stays, punctuation goes (local text in and out).
    EXPECT_EQ(localToUtf8(pageName(localText("第 1 集：开始"))), "第_1_集_开始");
}

TEST(DownloadNames, ProgressTextRoundsHalvesAwayFromZero) {
    EXPECT_EQ(progressText(1572864, 10485760), "1.5MB/10MB");
    EXPECT_EQ(progressText(0, 0), "0MB/0MB");
    EXPECT_EQ(progressText(3670016, 126091264), "3.5MB/120.25MB");
    EXPECT_EQ(megabyteText(131072), "0.13");  // 0.125 exactly: away from zero
    EXPECT_EQ(megabyteText(349525), "0.33");
    EXPECT_EQ(megabyteText(1048575), "1");
    EXPECT_EQ(megabyteText(5000LL * 1048576), "5000");
}

TEST_F(DownloadJobTest, DownloadsOnePartThroughTheEngineAndMerges) {
    MemoryView view;
    view.addRow("Part one/1", kOnePartCid);
    runDownloadJob(view, 0);

    const std::vector<std::string> history = view.history(0);
    EXPECT_TRUE(appearInOrder(
        history, {"正在解析", "视频下载完毕", "音频下载完毕", "正在合成音视频", "下载完成"}));
    for (const std::string& text : history) {
        const bool known = text == "正在解析" || text == "准备下载视频" || text == "视频下载完毕" ||
                           text == "准备下载音频" || text == "音频下载完毕" ||
                           text == "正在合成音视频" || text == "下载完成" || isProgressText(text);
        EXPECT_TRUE(known) << text;
    }
    const StreamCounts counts = probe(output("01_Part_one_1.mp4"));
    EXPECT_EQ(counts.video, 1);
    EXPECT_EQ(counts.audio, 1);
    EXPECT_EQ(counts.frameSize, "768x432");  // quality 64
    EXPECT_TRUE(fs::is_empty(directory_ / "temp"));
    EXPECT_FALSE(fs::exists(output("01_Part_one_1.mp4.part")));

    // Both streams came with the site's main page as referer.
    const auto media = site().requestsTo("/media/" + mediaName(kOnePartCid, 64));
    ASSERT_FALSE(media.empty());
    EXPECT_EQ(media.front().header("Referer"), site().baseUrl() + "/");
    EXPECT_GT(site().bytesServed(mediaName(kOnePartCid, 30280)), 0);
}

TEST_F(DownloadJobTest, FinishedRowOrExistingOutputIsNotDownloaded) {
    MemoryView view;
    view.addRow("done", kOnePartCid);
    view.addRow("there", kOnePartCid);
    view.setState(0, "下载完成");
    std::ofstream(output("02_there.mp4")) << "already here";

    runDownloadJob(view, 0);
    runDownloadJob(view, 1);
    EXPECT_TRUE(view.history(0).empty());
    EXPECT_EQ(view.history(1), std::vector<std::string>{"下载完成"});
    EXPECT_EQ(mediaRequests(), 0u);
    EXPECT_TRUE(site().requestsTo("/x/player/playurl").empty());
}

TEST_F(DownloadJobTest, WholeStreamsInTempGoStraightToTheMerge) {
    fs::copy_file(site().mediaPath(mediaName(kOnePartCid, 64)), temp("3001.mp4"));
    fs::copy_file(site().mediaPath(mediaName(kOnePartCid, 30280)), temp("3001.mp3"));
    MemoryView view;
    view.addRow("p", kOnePartCid);
    runDownloadJob(view, 0);
    EXPECT_EQ(view.history(0),
              (std::vector<std::string>{"正在解析", "正在合成音视频", "下载完成"}));
    EXPECT_EQ(mediaRequests(), 0u);
    EXPECT_EQ(probe(output("01_p.mp4")).video, 1);
}

TEST_F(DownloadJobTest, NoStreamAddressEndsTheJob) {
    MemoryView view;
    view.addRow("unknown part", "9999");
    view.addRow("path in cid", "../3001");
    view.addRow("no cid", "");
    for (int row = 0; row < 3; ++row) {
        runDownloadJob(view, row);
        EXPECT_EQ(view.history(row), (std::vector<std::string>{"正在解析", "视频解析失败"})) << row;
    }
    EXPECT_EQ(mediaRequests(), 0u);
}

// No quality chosen reads as -1, which the site does not offer: its first stream is taken.
TEST_F(DownloadJobTest, QualitiesAreReadWhenTheJobAsksForAddresses) {
    MemoryView view;
    view.addRow("p", kOnePartCid);
    view.videoQuality.reset();
    view.audioQuality = 30216;
    runDownloadJob(view, 0);
    EXPECT_EQ(view.state(0), "下载完成");
    EXPECT_EQ(probe(output("01_p.mp4")).frameSize, "960x540");  // 80, the first for a plain user
    EXPECT_EQ(site().requestsTo("/media/" + mediaName(kOnePartCid, 30216)).size(), 1u);
}

TEST_F(DownloadJobTest, MissingStreamShowsTheEngineErrorAndEnds) {
    site().setFault(mediaName(kOnePartCid, 30280), {devsite::FaultKind::NotFound});
    MemoryView view;
    view.addRow("p", kOnePartCid);
    runDownloadJob(view, 0);
    EXPECT_EQ(view.state(0), localToUtf8(DownloadEngine::errorText(16)));
    EXPECT_TRUE(appearInOrder(view.history(0), {"视频下载完毕"}));
    EXPECT_FALSE(fs::exists(output("01_p.mp4")));
    EXPECT_TRUE(isCompleteDownload(temp("3001.mp4").string()));  // kept for the next press
}

// A stream that stops arriving is given up with "任务超时"; the next job fetches it.
TEST_F(DownloadJobTest, StalledStreamIsGivenUpAndFetchedByTheNextJob) {
    setJobTimings({std::chrono::milliseconds(100), std::chrono::milliseconds(1500)});
    site().setFault(mediaName(kOnePartCid, 64), {devsite::FaultKind::Stall});
    MemoryView view;
    view.addRow("p", kOnePartCid);
    runDownloadJob(view, 0);
    EXPECT_EQ(view.state(0), localToUtf8(DownloadEngine::errorText(64)));
    EXPECT_FALSE(isCompleteDownload(temp("3001.mp4").string()));

    site().clearFaults();
    runDownloadJob(view, 0);
    EXPECT_EQ(view.state(0), "下载完成");
    EXPECT_EQ(probe(output("01_p.mp4")).video, 1);
}

// A half-written stream left by a released engine is resumed, not merged as it is.
TEST_F(DownloadJobTest, HalfWrittenStreamIsResumed) {
    const std::string video = mediaName(kOnePartCid, 64);
    const auto size = static_cast<std::int64_t>(fs::file_size(site().mediaPath(video)));
    const std::int64_t before = site().bytesServed(video);
    site().setBytesPerSecond(std::max<std::int64_t>(size / 6, 4096));
    MemoryView view;
    view.addRow("p", kOnePartCid);
    std::thread job([&] { runDownloadJob(view, 0); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (site().bytesServed(video) - before < size / 3 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    downloadEngine().uninit();  // as when the program closes: partial file and control file
    job.join();
    const bool restarted = downloadEngine().init(fs::path(directory_).parent_path().string(), true);
    ASSERT_TRUE(restarted);
    EXPECT_EQ(view.state(0), localToUtf8(DownloadEngine::errorText(65)));
    const std::int64_t first = site().bytesServed(video) - before;
    ASSERT_GT(first, 0);
    ASSERT_LT(first, size);
    EXPECT_FALSE(isCompleteDownload(temp("3001.mp4").string()));

    site().setBytesPerSecond(0);
    site().clearRequests();
    runDownloadJob(view, 0);
    EXPECT_EQ(view.state(0), "下载完成");
    // The second task asked for the rest only, from where the first one stopped.
    std::int64_t resumedFrom = 0;
    for (const auto& request : site().requestsTo("/media/" + video)) {
        long long from = 0;
        if (std::sscanf(request.header("Range").c_str(), "bytes=%lld-", &from) == 1) {
            resumedFrom = std::max<std::int64_t>(resumedFrom, from);
        }
    }
    EXPECT_GT(resumedFrom, 0);
    EXPECT_LE(resumedFrom, first);
    const StreamCounts counts = probe(output("01_p.mp4"));
    EXPECT_EQ(counts.video, 1);
    EXPECT_EQ(counts.frameSize, "768x432");
}

// Without ffmpeg the merge fails visibly, both streams stay, and the next job merges them.
TEST_F(DownloadJobTest, FailedMergeKeepsBothStreams) {
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    const fs::path empty = directory_ / "no-tools";
    fs::create_directories(empty);
    ::setenv("PATH", empty.c_str(), 1);
    MemoryView view;
    view.addRow("p", kOnePartCid);
    runDownloadJob(view, 0);
    ::setenv("PATH", path.c_str(), 1);

    EXPECT_EQ(view.state(0), "音视频合成失败");
    EXPECT_TRUE(isCompleteDownload(temp("3001.mp4").string()));
    EXPECT_TRUE(isCompleteDownload(temp("3001.mp3").string()));
    EXPECT_FALSE(fs::exists(output("01_p.mp4")));
    EXPECT_FALSE(fs::exists(output("01_p.mp4.part")));

    const size_t requests = mediaRequests();
    runDownloadJob(view, 0);
    EXPECT_EQ(view.state(0), "下载完成");
    EXPECT_EQ(mediaRequests(), requests);
    EXPECT_TRUE(fs::is_empty(directory_ / "temp"));
}

// A stream ffmpeg rejects leaves no file under the output name.
TEST_F(DownloadJobTest, RejectedStreamLeavesNoOutput) {
    std::ofstream(temp("3001.mp4")) << "not a media file";
    fs::copy_file(site().mediaPath(mediaName(kOnePartCid, 30280)), temp("3001.mp3"));
    MemoryView view;
    view.addRow("p", kOnePartCid);
    runDownloadJob(view, 0);
    EXPECT_EQ(view.state(0), "音视频合成失败");
    EXPECT_FALSE(fs::exists(output("01_p.mp4")));
    EXPECT_FALSE(fs::exists(output("01_p.mp4.part")));
    EXPECT_TRUE(fs::exists(temp("3001.mp4")));
    EXPECT_TRUE(fs::exists(temp("3001.mp3")));
}

// Blanks, quotes and shell characters in every path neither break the merge nor run.
TEST_F(DownloadJobTest, MergeQuotesEveryPath) {
    EXPECT_EQ(shellQuote("it's"), "'it'\\''s'");
    const fs::path odd = directory_ / "a b;c'd $(touch pwned) `touch pwned2`";
    fs::create_directories(odd);
    fs::copy_file(site().mediaPath(mediaName(kOnePartCid, 64)), odd / "-v.mp4");
    fs::copy_file(site().mediaPath(mediaName(kOnePartCid, 30280)), odd / "a&b.mp3");
    const fs::path out = odd / "o'ut; rm x.mp4";
    ASSERT_TRUE(mergeStreams((odd / "-v.mp4").string(), (odd / "a&b.mp3").string(), out.string()));
    const StreamCounts counts = probe(out);
    EXPECT_EQ(counts.video, 1);
    EXPECT_EQ(counts.audio, 1);
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_FALSE(fs::exists("pwned2"));
    EXPECT_FALSE(fs::exists(odd / "pwned"));
}

// The merge leaves a whole MP4 or nothing. On a disk too full for it, whether full before
// the merge or filled by another writer while ffmpeg runs, the row says so, no output
// and no ".part" stay, and both streams are kept for the next press, which finishes.
TEST_F(DownloadJobTest, MergeOnAFullDiskFailsAndKeepsBothStreams) {
    const fs::path video = site().mediaPath(mediaName(kOnePartCid, 64));
    const fs::path audio = site().mediaPath(mediaName(kOnePartCid, 30280));
    // A few kB short of the streams' size: room for ffmpeg's frames, not for the index
    // it writes last (when ffmpeg then reported success all the same).
    const auto left = static_cast<std::int64_t>(fs::file_size(video) + fs::file_size(audio)) - 4096;
    const fs::path tools = folder() / "filling-tools";
    const fs::path disk = folder() / "small-disk";
    fs::create_directories(tools);
    {
        std::ofstream script(tools / "ffmpeg");
        script << "#!/bin/sh\nhead -c $(( $(stat -f -c '%a * %S' " << shellQuote(disk.string())
               << ") - " << left << " )) /dev/zero > " << shellQuote((disk / "filler").string())
               << "\nexec /usr/bin/ffmpeg \"$@\"\n";
    }
    fs::permissions(tools / "ffmpeg", fs::perms::owner_all);

    for (const bool fullBefore : {true, false}) {
        SCOPED_TRACE(fullBefore ? "full before the merge" : "filled during the merge");
        test::SmallDisk small(disk, 2 << 20);
        ASSERT_TRUE(small.mounted());
        useDirectory(disk);
        fs::copy_file(video, temp("3001.mp4"));
        fs::copy_file(audio, temp("3001.mp3"));
        MemoryView view;
        view.addRow("p", kOnePartCid);
        if (fullBefore) {
            small.fillLeaving(left);
            runDownloadJob(view, 0);
        } else {
            ToolsFirst filling(tools);
            runDownloadJob(view, 0);
        }
        EXPECT_EQ(view.state(0), "音视频合成失败");
        EXPECT_FALSE(fs::exists(output("01_p.mp4")));
        EXPECT_FALSE(fs::exists(output("01_p.mp4.part")));
        EXPECT_TRUE(isCompleteDownload(temp("3001.mp4").string()));
        EXPECT_TRUE(isCompleteDownload(temp("3001.mp3").string()));

        fs::remove(disk / "filler");
        runDownloadJob(view, 0);
        EXPECT_EQ(view.state(0), "下载完成");
        EXPECT_EQ(probe(output("01_p.mp4")).audio, 1);
    }
}

// Only http and https stream addresses reach the engine: any other the site gives (a
// swarm, a local file, a torrent or metalink file) fails the row at once.
TEST_F(DownloadJobTest, StreamAddressesOtherThanHttpAreRefused) {
    setJobTimings({std::chrono::milliseconds(100), std::chrono::seconds(2)});
    const std::string video = site().baseUrl() + "/media/" + mediaName(kOnePartCid, 64);
    const std::string audio = site().baseUrl() + "/media/" + mediaName(kOnePartCid, 30280);
    const std::string magnet =
        "magnet:?xt=urn:btih:" + std::string(40, 'a') + "&tr=" + site().baseUrl() + "/announce";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {magnet, audio},
        {video, "file:///etc/hostname"},
        {site().baseUrl() + "/media/x.torrent", audio},
        {video, site().baseUrl() + "/media/x.meta4?a=1"},
        {"ftp://127.0.0.1/x.m4s", audio},
    };
    for (const auto& [videoAddress, audioAddress] : cases) {
        SCOPED_TRACE(videoAddress + " " + audioAddress);
        site().overrideAnswer("/x/player/playurl", 200, playurlAnswer(videoAddress, audioAddress),
                              "application/json", 1);
        MemoryView view;
        view.addRow("p", kOnePartCid);
        runDownloadJob(view, 0);
        EXPECT_EQ(view.history(0), (std::vector<std::string>{"正在解析", "视频解析失败"}));
    }
    EXPECT_EQ(mediaRequests(), 0u);
}

// Names longer than the file system holds are cut at a character to 255 bytes of UTF-8
// (the file name leaves room for ".part"), keeping "NN_" and ".mp4"; a video without a
// title gets its BV identifier as its folder.
TEST_F(DownloadJobTest, FolderAndFileNamesFitTheFileSystem) {
    struct Case {
        std::string title;  // UTF-8
        std::string part;
        std::string folder;
        std::string file;
    };
    const std::vector<Case> cases = {
        {repeated("长", 300), repeated("a", 150) + repeated("段", 150), repeated("长", 85),
         "01_" + repeated("a", 150) + repeated("段", 31) + ".mp4"},
        {"", "p", devsite::kOnePartBvid, "01_p.mp4"},
    };
    ASSERT_TRUE(threadPool().start(1));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        VideoRecord record = sharedState().video.get();
        record.title = utf8ToLocalText(c.title);
        sharedState().video.set(record);
        auto view = std::make_shared<MemoryView>();
        view->addRow(c.part, kOnePartCid);
        setDownloadView(view);
        startDownloads(*view);
        EXPECT_TRUE(waitUntil([&] { return view->state(0) == "下载完成"; })) << view->state(0);
        EXPECT_EQ(probe(directory_ / c.folder / c.file).video, 1);
    }
    setDownloadView(nullptr);
    threadPool().stop(0);
    EXPECT_TRUE(takeRecordedMessages().empty());
}

// Only a non-empty file at the output path is a finished download: an empty one is
// replaced by the merge, and a folder there fails the merge instead of passing for done.
TEST_F(DownloadJobTest, EmptyFileOrFolderAtTheOutputPathIsNotFinished) {
    MemoryView view;
    view.addRow("empty", kOnePartCid);
    view.addRow("folder", kOnePartCid);
    std::ofstream(output("01_empty.mp4")).close();
    fs::create_directories(output("02_folder.mp4"));
    runDownloadJob(view, 0);
    runDownloadJob(view, 1);
    EXPECT_EQ(view.state(0), "下载完成");
    EXPECT_EQ(probe(output("01_empty.mp4")).video, 1);
    EXPECT_EQ(view.state(1), "音视频合成失败");
    EXPECT_TRUE(fs::is_directory(output("02_folder.mp4")));
}

// A stream the engine finished just before it was released is kept, though the job's
// last look had seen it still arriving: the files decide, and the next job merges it.
TEST_F(DownloadJobTest, StreamFinishedJustBeforeTheEngineStopsIsKept) {
    const std::string videoName = mediaName(kOnePartCid, 64);
    const auto size = static_cast<std::int64_t>(fs::file_size(site().mediaPath(videoName)));
    setJobTimings({std::chrono::seconds(4), std::chrono::seconds(90)});
    site().setBytesPerSecond(size / 2);  // about two seconds: the job looks once before the end
    MemoryView view;
    view.addRow("p", kOnePartCid);
    std::thread job([&] { runDownloadJob(view, 0); });
    const bool finished = waitUntil([&] {
        std::error_code ignored;
        return isCompleteDownload(temp("3001.mp4").string()) &&
               static_cast<std::int64_t>(fs::file_size(temp("3001.mp4"), ignored)) == size;
    });
    downloadEngine().uninit();
    job.join();
    ASSERT_TRUE(downloadEngine().init(folder().string(), true));
    ASSERT_TRUE(finished);
    EXPECT_TRUE(isCompleteDownload(temp("3001.mp4").string()));

    site().setBytesPerSecond(0);
    setJobTimings({std::chrono::milliseconds(100), std::chrono::seconds(90)});
    const std::int64_t served = site().bytesServed(videoName);
    runDownloadJob(view, 0);
    EXPECT_EQ(view.state(0), "下载完成");
    EXPECT_EQ(site().bytesServed(videoName), served);
}

TEST_F(DownloadJobTest, PoolEntryClearsTheBusyMarkOfItsRow) {
    auto view = std::make_shared<MemoryView>();
    view->addRow("done", kOnePartCid);
    view->setState(0, "下载完成");
    setDownloadView(view);
    ASSERT_TRUE(markRowBusy(0));
    EXPECT_FALSE(markRowBusy(0));
    EXPECT_TRUE(isRowBusy(0));
    downloadJob(0);
    EXPECT_FALSE(isRowBusy(0));
    setDownloadView(nullptr);
    ASSERT_TRUE(markRowBusy(0));
    downloadJob(0);  // no window: nothing to do, the mark still goes
    EXPECT_FALSE(isRowBusy(0));
}

}  // namespace
}  // namespace quivra

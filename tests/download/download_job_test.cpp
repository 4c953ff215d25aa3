// The download job against the local site with the real engine and the real ffmpeg,
// reporting to a record kept in memory.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "download/progress_text.h"
#include "job_fixture.h"

namespace quivra {
namespace {

using namespace test;

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

using DownloadJobTest = JobSiteTest;

TEST_F(DownloadJobTest, DownloadsOnePartThroughTheEngineAndMerges) {
    RecordingReport report;
    EXPECT_EQ(runDownloadJob(part("Part one/1"), report).outcome, JobResult::Done);

    const std::vector<std::string> history = report.history();
    EXPECT_TRUE(appearInOrder(
        history, {"正在解析", "视频下载完毕", "音频下载完毕", "正在合成音视频", "下载完成"}));
    for (const std::string& text : history) {
        const bool known = text == "正在解析" || text == "准备下载视频" || text == "视频下载完毕" ||
                           text == "准备下载音频" || text == "音频下载完毕" ||
                           text == "正在合成音视频" || text == "下载完成" || isProgressText(text);
        EXPECT_TRUE(known) << text;
    }
    EXPECT_EQ(report.merges_, 1);
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

TEST_F(DownloadJobTest, ExistingOutputIsNotDownloaded) {
    std::ofstream(output("01_there.mp4")) << "already here";
    RecordingReport report;
    EXPECT_EQ(runDownloadJob(part("there"), report).outcome, JobResult::Done);
    EXPECT_EQ(report.history(), std::vector<std::string>{"下载完成"});
    EXPECT_EQ(mediaRequests(), 0u);
    EXPECT_TRUE(site().requestsTo("/x/player/playurl").empty());
}

TEST_F(DownloadJobTest, WholeStreamsInTempGoStraightToTheMerge) {
    fs::copy_file(site().mediaPath(mediaName(kOnePartCid, 64)), temp("3001.mp4"));
    fs::copy_file(site().mediaPath(mediaName(kOnePartCid, 30280)), temp("3001.mp3"));
    RecordingReport report;
    runDownloadJob(part("p"), report);
    EXPECT_EQ(report.history(),
              (std::vector<std::string>{"正在解析", "正在合成音视频", "下载完成"}));
    EXPECT_EQ(mediaRequests(), 0u);
    EXPECT_EQ(probe(output("01_p.mp4")).video, 1);
}

TEST_F(DownloadJobTest, NoStreamAddressEndsTheJob) {
    for (const char* cid : {"9999", "../3001", ""}) {
        RecordingReport report;
        const JobResult result = runDownloadJob(part("p", cid), report);
        EXPECT_EQ(result.outcome, JobResult::Failed);
        EXPECT_EQ(localToUtf8(result.errorText), "视频解析失败");
        EXPECT_EQ(report.history(), (std::vector<std::string>{"正在解析", "视频解析失败"})) << cid;
    }
    EXPECT_EQ(mediaRequests(), 0u);
}

// No quality chosen is -1, which the site does not offer: its first stream is taken.
TEST_F(DownloadJobTest, BoundQualitiesChooseTheStreams) {
    DownloadRequest request = part("p");
    request.videoQuality = -1;
    request.audioQuality = 30216;
    RecordingReport report;
    runDownloadJob(request, report);
    EXPECT_EQ(report.last(), "下载完成");
    EXPECT_EQ(probe(output("01_p.mp4")).frameSize, "960x540");  // 80, the first for a plain user
    EXPECT_EQ(site().requestsTo("/media/" + mediaName(kOnePartCid, 30216)).size(), 1u);
}

TEST_F(DownloadJobTest, MissingStreamShowsTheEngineErrorAndEnds) {
    site().setFault(mediaName(kOnePartCid, 30280), {devsite::FaultKind::NotFound});
    RecordingReport report;
    const JobResult result = runDownloadJob(part("p"), report);
    EXPECT_EQ(result.errorText, DownloadEngine::errorText(16));
    EXPECT_EQ(report.last(), localToUtf8(DownloadEngine::errorText(16)));
    EXPECT_TRUE(appearInOrder(report.history(), {"视频下载完毕"}));
    EXPECT_FALSE(fs::exists(output("01_p.mp4")));
    EXPECT_TRUE(isCompleteDownload(temp("3001.mp4").string()));  // kept for the next press
}

// A stream that stops arriving is given up with "任务超时"; the next job fetches it.
TEST_F(DownloadJobTest, StalledStreamIsGivenUpAndFetchedByTheNextJob) {
    setJobTimings({std::chrono::milliseconds(100), std::chrono::milliseconds(1500)});
    site().setFault(mediaName(kOnePartCid, 64), {devsite::FaultKind::Stall});
    RecordingReport first;
    runDownloadJob(part("p"), first);
    EXPECT_EQ(first.last(), localToUtf8(DownloadEngine::errorText(64)));
    EXPECT_FALSE(isCompleteDownload(temp("3001.mp4").string()));

    site().clearFaults();
    RecordingReport second;
    runDownloadJob(part("p"), second);
    EXPECT_EQ(second.last(), "下载完成");
    EXPECT_EQ(probe(output("01_p.mp4")).video, 1);
}

// A half-written stream left by a released engine is resumed, not merged as it is.
TEST_F(DownloadJobTest, HalfWrittenStreamIsResumed) {
    const std::string video = mediaName(kOnePartCid, 64);
    const auto size = static_cast<std::int64_t>(fs::file_size(site().mediaPath(video)));
    const std::int64_t before = site().bytesServed(video);
    site().setBytesPerSecond(std::max<std::int64_t>(size / 6, 4096));
    RecordingReport first;
    std::thread job([&] { runDownloadJob(part("p"), first); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (site().bytesServed(video) - before < size / 3 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    downloadEngine().uninit();  // as when the program closes: partial file and control file
    job.join();
    const bool restarted = downloadEngine().init(fs::path(directory_).parent_path().string(), true);
    ASSERT_TRUE(restarted);
    EXPECT_EQ(first.last(), localToUtf8(DownloadEngine::errorText(65)));
    const std::int64_t firstBytes = site().bytesServed(video) - before;
    ASSERT_GT(firstBytes, 0);
    ASSERT_LT(firstBytes, size);
    EXPECT_FALSE(isCompleteDownload(temp("3001.mp4").string()));

    site().setBytesPerSecond(0);
    site().clearRequests();
    RecordingReport second;
    runDownloadJob(part("p"), second);
    EXPECT_EQ(second.last(), "下载完成");
    // The second task asked for the rest only, from where the first one stopped.
    std::int64_t resumedFrom = 0;
    for (const auto& request : site().requestsTo("/media/" + video)) {
        long long from = 0;
        if (std::sscanf(request.header("Range").c_str(), "bytes=%lld-", &from) == 1) {
            resumedFrom = std::max<std::int64_t>(resumedFrom, from);
        }
    }
    EXPECT_GT(resumedFrom, 0);
    EXPECT_LE(resumedFrom, firstBytes);
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
    RecordingReport first;
    runDownloadJob(part("p"), first);
    ::setenv("PATH", path.c_str(), 1);

    EXPECT_EQ(first.last(), "音视频合成失败");
    EXPECT_TRUE(isCompleteDownload(temp("3001.mp4").string()));
    EXPECT_TRUE(isCompleteDownload(temp("3001.mp3").string()));
    EXPECT_FALSE(fs::exists(output("01_p.mp4")));
    EXPECT_FALSE(fs::exists(output("01_p.mp4.part")));

    const size_t requests = mediaRequests();
    RecordingReport second;
    runDownloadJob(part("p"), second);
    EXPECT_EQ(second.last(), "下载完成");
    EXPECT_EQ(mediaRequests(), requests);
    EXPECT_TRUE(fs::is_empty(directory_ / "temp"));
}

// A stream ffmpeg rejects leaves no file under the output name.
TEST_F(DownloadJobTest, RejectedStreamLeavesNoOutput) {
    std::ofstream(temp("3001.mp4")) << "not a media file";
    fs::copy_file(site().mediaPath(mediaName(kOnePartCid, 30280)), temp("3001.mp3"));
    RecordingReport report;
    runDownloadJob(part("p"), report);
    EXPECT_EQ(report.last(), "音视频合成失败");
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

}  // namespace
}  // namespace quivra

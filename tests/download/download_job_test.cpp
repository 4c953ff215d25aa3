// The download job against the local site with the real engine and the real ffmpeg,
// reporting to a record kept in memory.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "download/job/merge_tags.h"
#include "download/job/part_danmaku.h"
#include "download/job/part_extras.h"
#include "download/job/progress_text.h"
#include "download/plan/download_plan.h"
#include "download/plan/part_files.h"
#include "job_fixture.h"
#include "support/small_disk.h"
#include "video/audio_choices.h"

namespace quivra {
namespace {

using namespace test;

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

TEST(DownloadNames, RowNumbersAndPageNames) {
    EXPECT_EQ(rowNumberText(0), "01");
    EXPECT_EQ(rowNumberText(8), "09");
    EXPECT_EQ(rowNumberText(9), "10");
    EXPECT_EQ(rowNumberText(99), "100");
    EXPECT_EQ(pageName("a b/c"), "a_b_c");
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

// An episode is titled as itself, even as the one episode of its season.
TEST(DownloadNames, AnEpisodeIsTitledAsItselfInASeasonOfOne) {
    DownloadRequest part;
    part.pageTitle = localText("林中小屋");
    part.episodeId = "61001";
    part.tags = VideoTags{};
    part.tags->videoTitle = localText("山海之间");
    const std::vector<MetadataTag> tags = partTags(part);
    ASSERT_GE(tags.size(), 2u);
    EXPECT_EQ(tags[0].key, "title");
    EXPECT_EQ(tags[0].value, "林中小屋");
    EXPECT_EQ(tags[1].key, "album");
    EXPECT_EQ(tags[1].value, "山海之间");
}

// A long description is cut to the limit at a character's start, never inside one.
TEST(DownloadNames, LongDescriptionIsCutAtACharacter) {
    DownloadRequest part;
    part.tags = VideoTags{};
    part.tags->description = localText(repeated("字", 1000).c_str());  // 3 bytes each in UTF-8
    const std::vector<MetadataTag> tags = partTags(part);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(tags[0].key, "description");
    EXPECT_EQ(tags[0].value, repeated("字", kMaxDescriptionBytes / 3));
}

// The settings' rows become the style the ASS is drawn in: 显示区域 to the nearest quarter,
// percents as shares, the local texts as UTF-8, a font name that cannot break a style line.
TEST(DanmakuStyle, SettingsBecomeTheStyle) {
    const struct {
        int area;
        double share;
    } areas[] = {{25, 0.25}, {37, 0.25}, {38, 0.5}, {60, 0.5}, {63, 0.75}, {88, 1}, {100, 1}};
    DownloadSettings settings = defaultDownloadSettings();
    for (const auto& a : areas) {
        settings.danmakuArea = a.area;
        EXPECT_EQ(danmakuStyleOf(settings).area, a.share) << a.area;
    }
    settings.danmakuFont = localText("思源黑体, Bold");
    settings.danmakuOpacity = 35;
    settings.danmakuHideColored = true;
    settings.danmakuBlocklist = localText("前方\n/高能+/\n/[/");
    const DanmakuStyle style = danmakuStyleOf(settings);
    EXPECT_EQ(style.font, "思源黑体 Bold");
    EXPECT_DOUBLE_EQ(style.opacity, 0.35);
    EXPECT_TRUE(style.hideColored);
    EXPECT_FALSE(style.hideTop);
    EXPECT_EQ(style.blocklist.words, std::vector<std::string>{"前方"});
    EXPECT_EQ(style.blocklist.patterns, std::vector<std::string>{localText("高能+")});
    EXPECT_EQ(style.blocklist.problems.size(), 1u);
    settings.danmakuFont = ",";
    EXPECT_EQ(danmakuStyleOf(settings).font, DanmakuStyle{}.font);
}

using DownloadJobTest = JobSiteTest;

TEST_F(DownloadJobTest, DownloadsOnePartThroughTheEngineAndMerges) {
    RecordingReport report;
    JobContext context = jobContext();
    context.siteMain = "http://main.example.test";
    EXPECT_EQ(runDownloadJob(context, part("Part one/1"), report).outcome, JobResult::Done);

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

    // A part of the default codec order asks for its streams as it always did.
    const auto playurl = site().requestsTo("/x/player/playurl");
    ASSERT_EQ(playurl.size(), 1u);
    EXPECT_EQ(playurl[0].query, std::string("cid=") + kOnePartCid +
                                    "&bvid=" + devsite::kOnePartBvid + "&fourk=1&fnval=80");

    // Both streams came with the main page of the site the job was handed as referer.
    const auto media = site().requestsTo("/media/" + mediaName(kOnePartCid, 64));
    ASSERT_FALSE(media.empty());
    EXPECT_EQ(media.front().header("Referer"), "http://main.example.test/");
    EXPECT_GT(site().bytesServed(mediaName(kOnePartCid, 30280)), 0);
}

// What of the subtitles and chapters cannot be had is left out and said; the part still
// downloads, with the rest in its file.
TEST_F(DownloadJobTest, BadSubtitlesAndChaptersAreLeftOutAndSaid) {
    const std::string json = "application/json";
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> answers;  // path, body
        std::vector<std::string> said;                             // stage texts begin so
        std::vector<std::string> srtFiles;
        int chapters;
    };
    const Case cases[] = {
        {"no player information", {{"/x/player/wbi/v2", ""}}, {"字幕与章节未能获取："}, {}, 0},
        {"a body that is not JSON, cues backwards and past the 2 s stream",
         {{"/bfs/subtitle/7001-zh-CN.json", "{\"body\": [oops"},
          {"/bfs/subtitle/7001-en-US.json",
           R"({"body":[{"from":1,"to":0.5,"content":"back"},{"from":0.2,"to":0.9,)"
           R"("content":"kept"},{"from":5,"to":6,"content":"late"}]})"}},
         {"字幕“中文（中国）”未能获取：", "字幕“English”略去2句时间有误的字幕"},
         {"en-US"},
         3},
        {"chapters backwards and past the stream",
         {{"/x/player/wbi/v2",
           R"({"code":0,"data":{"cid":7001,"subtitle":{"subtitles":[]},"view_points":[)"
           R"({"content":"a","from":0,"to":1},{"content":"b","from":1.5,"to":9},)"
           R"({"content":"c","from":1.2,"to":1.1},{"content":"d","from":5,"to":6}]}})"}},
         {"略去2个时间有误的章节"},
         {},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        site().clearOverrides();
        for (const auto& [path, body] : c.answers) {
            site().overrideAnswer(path, body.empty() ? 500 : 200, body, json);
        }
        DownloadRequest request = part("Subtitled", devsite::kSubtitledCid);
        request.bvid = devsite::kCommentsBvid;
        request.subtitles = {"all", false, false};
        fs::remove(request.outputPath);
        RecordingReport report;
        ASSERT_EQ(runJob(request, report).outcome, JobResult::Done);
        const std::vector<std::string> history = report.history();
        for (const std::string& said : c.said) {
            EXPECT_TRUE(std::ranges::any_of(history, [&](const std::string& text) {
                return text.starts_with(said);
            })) << said;
        }
        EXPECT_EQ(history.back(), "下载完成");
        std::vector<std::string> srtFiles;
        for (const char* lan : {"en-US", "zh-CN"}) {
            const fs::path srt = subtitlePath(request, lan);
            if (!fs::exists(srt)) continue;
            srtFiles.push_back(lan);
            if (srtFiles.size() == 1 && c.said.size() == 2) {  // the English one's cue kept
                std::ifstream in(srt);
                EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
                          "1\n00:00:00,200 --> 00:00:00,900\nkept\n\n");
            }
            fs::remove(srt);
        }
        EXPECT_EQ(srtFiles, c.srtFiles);
        const std::string tracks = runCommand(
            "ffprobe -v error -select_streams s -show_entries stream=codec_name -of csv=p=0 " +
            shellQuote(request.outputPath));
        EXPECT_EQ(tracks, c.srtFiles.empty() ? "" : "mov_text\n");
        const std::string chapters = runCommand("ffprobe -v error -show_chapters -of csv=p=0 " +
                                                shellQuote(request.outputPath));
        EXPECT_EQ(std::ranges::count(chapters, '\n'), c.chapters) << chapters;
    }
    EXPECT_TRUE(fs::is_empty(directory_ / "temp"));  // no chapters file left
}

// The texts an ASS file shows, each after the tags that place it.
std::vector<std::string> dialogueTexts(const fs::path& ass) {
    std::ifstream in(ass);
    std::vector<std::string> texts;
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("Dialogue: ")) continue;
        std::size_t at = 0;
        for (int field = 0; field < 9; ++field) at = line.find(',', at) + 1;
        texts.push_back(line.substr(line.find('}', at) + 1));
    }
    return texts;
}

// Comments that inflate past the cap are refused and said, and the part downloads without
// them; comments that try ASS overrides are shown as they were written.
TEST_F(DownloadJobTest, BulletCommentsPastTheCapOrTryingOverridesCannotHarmThePart) {
    const std::string joiner = "\xE2\x81\xA0";  // after a backslash: no override starts
    const struct {
        const char* cid;
        const char* said;                // a stage text; "": none
        std::vector<std::string> texts;  // what the ASS shows; none: no files
    } cases[] = {
        {devsite::kDanmakuBombCid, "弹幕未能获取：弹幕解压后超过64MiB，已拒绝", {}},
        {devsite::kOverrideDanmakuCid,
         "",
         {"\\{\\" + joiner + "pos(0,0)\\}不在左上角", "\\{\\" + joiner + "c&H0000FF&\\}不是红色",
          "反斜杠\\" + joiner + "N不换行", "真的\\N换行"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cid);
        DownloadRequest request = part("Comments", c.cid);
        request.bvid = devsite::kCommentsBvid;
        request.danmaku = {true, false, false};
        RecordingReport report;
        ASSERT_EQ(runJob(request, report).outcome, JobResult::Done);
        const std::vector<std::string> history = report.history();
        EXPECT_EQ(history.back(), "下载完成");
        if (*c.said) {
            EXPECT_NE(std::ranges::find(history, c.said), history.end());
        }
        EXPECT_TRUE(fs::exists(request.outputPath));
        const fs::path ass = danmakuAssPath(request);
        EXPECT_EQ(fs::exists(danmakuXmlPath(request)), !c.texts.empty());
        EXPECT_EQ(fs::exists(ass), !c.texts.empty());
        EXPECT_EQ(dialogueTexts(ass), c.texts);
        fs::remove(request.outputPath);
    }
}

// The engine tells the job when a stream is whole: with a minute between its looks at a
// task, a part still takes seconds, not the two minutes that waiting out both looks takes.
TEST_F(DownloadJobTest, WholeStreamEndsTheWaitAtOnce) {
    timings_ = {std::chrono::seconds(60), std::chrono::seconds(90)};
    RecordingReport report;
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(runJob(part("p"), report).outcome, JobResult::Done);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(30));
}

TEST_F(DownloadJobTest, ExistingOutputIsNotDownloaded) {
    std::ofstream(output("01_there.mp4")) << "already here";
    RecordingReport report;
    EXPECT_EQ(runJob(part("there"), report).outcome, JobResult::Done);
    EXPECT_EQ(report.history(), std::vector<std::string>{"下载完成"});
    EXPECT_EQ(mediaRequests(), 0u);
    EXPECT_TRUE(site().requestsTo("/x/player/playurl").empty());
}

TEST_F(DownloadJobTest, WholeStreamsInTempGoStraightToTheMerge) {
    fs::copy_file(site().mediaPath(mediaName(kOnePartCid, 64)), temp("3001.mp4"));
    fs::copy_file(site().mediaPath(mediaName(kOnePartCid, 30280)), temp("3001.mp3"));
    RecordingReport report;
    runJob(part("p"), report);
    EXPECT_EQ(report.history(),
              (std::vector<std::string>{"正在解析", "正在合成音视频", "下载完成"}));
    EXPECT_EQ(mediaRequests(), 0u);
    EXPECT_EQ(probe(output("01_p.mp4")).video, 1);
}

TEST_F(DownloadJobTest, NoStreamAddressEndsTheJob) {
    for (const char* cid : {"9999", "../3001", ""}) {
        RecordingReport report;
        const JobResult result = runJob(part("p", cid), report);
        EXPECT_EQ(result.outcome, JobResult::Failed);
        EXPECT_EQ(localToUtf8(result.errorText), "视频解析失败");
        EXPECT_FALSE(result.mendable) << cid;  // the site refused: no later try changes that
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
    runJob(request, report);
    EXPECT_EQ(report.last(), "下载完成");
    EXPECT_EQ(probe(output("01_p.mp4")).frameSize, "960x540");  // 80, the first for a plain user
    EXPECT_EQ(site().requestsTo("/media/" + mediaName(kOnePartCid, 30216)).size(), 1u);
}

TEST_F(DownloadJobTest, MissingStreamShowsTheEngineErrorAndEnds) {
    site().setFault(mediaName(kOnePartCid, 30280), {devsite::FaultKind::NotFound});
    RecordingReport report;
    const JobResult result = runJob(part("p"), report);
    EXPECT_EQ(result.errorText, DownloadEngine::errorText(16));
    EXPECT_TRUE(result.mendable);  // a stream address that answers 404 may be replaced
    EXPECT_EQ(report.last(), localToUtf8(DownloadEngine::errorText(16)));
    EXPECT_TRUE(appearInOrder(report.history(), {"视频下载完毕"}));
    EXPECT_FALSE(fs::exists(output("01_p.mp4")));
    EXPECT_TRUE(isCompleteDownload(temp("3001.mp4").string()));  // kept for the next press
}

// A stream that stops arriving is given up with "任务超时"; the next job fetches it.
TEST_F(DownloadJobTest, StalledStreamIsGivenUpAndFetchedByTheNextJob) {
    timings_ = {std::chrono::milliseconds(100), std::chrono::milliseconds(1500)};
    site().setFault(mediaName(kOnePartCid, 64), {devsite::FaultKind::Stall});
    RecordingReport first;
    EXPECT_TRUE(runJob(part("p"), first).mendable);
    EXPECT_EQ(first.last(), localToUtf8(DownloadEngine::errorText(64)));
    EXPECT_FALSE(isCompleteDownload(temp("3001.mp4").string()));

    site().clearFaults();
    RecordingReport second;
    runJob(part("p"), second);
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
    std::thread job([&] { runJob(part("p"), first); });
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
    runJob(part("p"), second);
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
    runJob(part("p"), first);
    ::setenv("PATH", path.c_str(), 1);

    EXPECT_EQ(first.last(), "音视频合成失败");
    EXPECT_TRUE(isCompleteDownload(temp("3001.mp4").string()));
    EXPECT_TRUE(isCompleteDownload(temp("3001.mp3").string()));
    EXPECT_FALSE(fs::exists(output("01_p.mp4")));
    EXPECT_FALSE(fs::exists(output("01_p.mp4.part")));

    const size_t requests = mediaRequests();
    RecordingReport second;
    runJob(part("p"), second);
    EXPECT_EQ(second.last(), "下载完成");
    EXPECT_EQ(mediaRequests(), requests);
    EXPECT_TRUE(fs::is_empty(directory_ / "temp"));
}

// A stream ffmpeg rejects leaves no file under the output name.
TEST_F(DownloadJobTest, RejectedStreamLeavesNoOutput) {
    std::ofstream(temp("3001.mp4")) << "not a media file";
    fs::copy_file(site().mediaPath(mediaName(kOnePartCid, 30280)), temp("3001.mp3"));
    RecordingReport report;
    runJob(part("p"), report);
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

// The merge leaves a whole MP4 or nothing. On a disk too full for it, whether full before
// the merge or filled by another writer while ffmpeg runs, the job says so, no output
// and no ".part" stay, and both streams are kept for the next job, which finishes.
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
        RecordingReport first;
        if (fullBefore) {
            small.fillLeaving(left);
            runJob(part("p"), first);
        } else {
            ToolsFirst filling(tools);
            runJob(part("p"), first);
        }
        EXPECT_EQ(first.last(), "音视频合成失败");
        EXPECT_FALSE(fs::exists(output("01_p.mp4")));
        EXPECT_FALSE(fs::exists(output("01_p.mp4.part")));
        EXPECT_TRUE(isCompleteDownload(temp("3001.mp4").string()));
        EXPECT_TRUE(isCompleteDownload(temp("3001.mp3").string()));

        fs::remove(disk / "filler");
        RecordingReport second;
        runJob(part("p"), second);
        EXPECT_EQ(second.last(), "下载完成");
        EXPECT_EQ(probe(output("01_p.mp4")).audio, 1);
    }
}

// Only http and https stream addresses reach the engine: any other the site gives (a
// swarm, a local file, a torrent or metalink file) fails the part at once.
TEST_F(DownloadJobTest, StreamAddressesOtherThanHttpAreRefused) {
    timings_ = {std::chrono::milliseconds(100), std::chrono::seconds(2)};
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
        RecordingReport report;
        EXPECT_FALSE(runJob(part("p"), report).mendable);
        EXPECT_EQ(report.history(), (std::vector<std::string>{"正在解析", "视频解析失败"}));
    }
    EXPECT_EQ(mediaRequests(), 0u);
}

// Audio alone: only the audio stream is fetched, into NN_name.m4a, and temp/ is left empty.
TEST_F(DownloadJobTest, AudioOnlyPartFetchesTheAudioAloneIntoAnM4a) {
    DownloadRequest request = part("p");
    request.content = DownloadContent::AudioOnly;
    request.outputPath = withExtension(request.outputPath, ".m4a");
    RecordingReport report;
    EXPECT_EQ(runJob(request, report).outcome, JobResult::Done) << report.last();
    const StreamCounts counts = probe(output("01_p.m4a"));
    EXPECT_EQ(counts.video, 0);
    EXPECT_EQ(counts.audio, 1);
    EXPECT_TRUE(site().requestsTo("/media/" + mediaName(kOnePartCid, 64)).empty());
    EXPECT_TRUE(fs::is_empty(directory_ / "temp"));
    EXPECT_FALSE(fs::exists(output("01_p.mp4")));
}

// Lossless audio alone becomes a FLAC. A stale AAC stream of the part in temp/ is not
// taken for the lossless one: that merge would fail.
TEST_F(DownloadJobTest, LosslessAudioOnlyPartBecomesAFlac) {
    sharedState().user.update([](UserRecord& user) { user.cookie = devsite::kMemberCookie; });
    DownloadRequest request = part("p", "6401");
    request.bvid = devsite::kLosslessBvid;
    request.audioQuality = kLosslessAudioStream;
    request.content = DownloadContent::AudioOnly;
    request.outputPath = withExtension(request.outputPath, ".flac");
    fs::copy_file(site().mediaPath(mediaName(kOnePartCid, 30280)), temp("6401.mp3"));
    RecordingReport report;
    EXPECT_EQ(runJob(request, report).outcome, JobResult::Done) << report.last();
    EXPECT_EQ(runCommand("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " +
                         shellQuote(output("01_p.flac").string())),
              "flac\n");
}

// Audio alone of a video the site sends without audio fails at once, for good, writing
// nothing.
TEST_F(DownloadJobTest, AudioOnlyOfAVideoWithoutAudioFailsWithTheReason) {
    const std::string video = site().baseUrl() + "/media/" + mediaName(kOnePartCid, 64);
    site().overrideAnswer("/x/player/playurl", 200,
                          R"({"code":0,"message":"0","data":{"dash":{"video":[{"id":64,)"
                          R"("baseUrl":")" +
                              video + R"("}],"audio":null}}})",
                          "application/json", 1);
    DownloadRequest request = part("p");
    request.content = DownloadContent::AudioOnly;
    request.outputPath = withExtension(request.outputPath, ".m4a");
    RecordingReport report;
    const JobResult result = runJob(request, report);
    EXPECT_EQ(result.outcome, JobResult::Failed);
    EXPECT_FALSE(result.mendable);
    EXPECT_EQ(localToUtf8(result.errorText), "此视频没有音频流");
    EXPECT_EQ(mediaRequests(), 0u);
    EXPECT_TRUE(fs::is_empty(directory_ / "temp"));
    EXPECT_TRUE(fs::is_empty(directory_ / kVideoTitle));
}

// A stream list that could not be had or read may come whole next time; the streams'
// servers failing may mend too.
TEST_F(DownloadJobTest, FailuresOfTheNetworkAndTheServersMayMend) {
    const std::string video = mediaName(kOnePartCid, 64);
    const std::function<void()> faults[] = {
        [&] { site().cutAnswer("/x/player/playurl", R"({"code":0,"data":{"dash")", 4096); },
        [&] { site().overrideAnswer("/x/player/playurl", 502, "<html>bad gateway</html>"); },
        [&] { site().setFault(video, {devsite::FaultKind::ServerError}); },
    };
    for (const auto& fault : faults) {
        site().clearOverrides();
        site().clearFaults();
        fault();
        RecordingReport report;
        const JobResult result = runJob(part("p"), report);
        EXPECT_EQ(result.outcome, JobResult::Failed) << report.last();
        EXPECT_TRUE(result.mendable) << report.last();
    }
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        ParseResult parsed;
        parsed.video = sharedState().video.get();
        parsed.video.title = utf8ToLocalText(c.title);
        parsed.rows = {{kOnePartCid, "1", utf8ToLocalText(c.part), "00:05", "", ""}};
        DownloadSettings settings;
        settings.directory = directory_.string();
        const DownloadPlan plan = planDownloads(parsed, {{}, 64, 30280}, settings, "");
        ASSERT_EQ(plan.requests.size(), 1u) << localToUtf8(plan.refusal);
        const DownloadRequest& request = plan.requests.front();
        RecordingReport report;
        runJob(request, report);
        EXPECT_EQ(report.last(), "下载完成");
        EXPECT_EQ(probe(directory_ / c.folder / c.file).video, 1);
    }
}

// The plan binds the settings' codec order to each part; a text naming an unknown codec
// takes what a download always took.
TEST_F(DownloadJobTest, PlanBindsTheSettingsCodecOrder) {
    using enum VideoCodec;
    const std::vector<std::pair<std::string, std::vector<VideoCodec>>> cases = {
        {"hevc,av1,avc", {Hevc, Av1, Avc}},
        {"AV1", {Av1, Avc, Hevc}},
        {"avc,vp9", {Avc, Hevc, Av1}},
        {"", {Avc, Hevc, Av1}},
    };
    ParseResult parsed;
    parsed.video = sharedState().video.get();
    parsed.rows = {{kOnePartCid, "1", "p", "00:05", "", ""}};
    for (const auto& [text, order] : cases) {
        SCOPED_TRACE(text);
        DownloadSettings settings;
        settings.directory = directory_.string();
        settings.videoCodecs = text;
        const DownloadPlan plan = planDownloads(parsed, {{}, 64, 30280}, settings, "");
        ASSERT_EQ(plan.requests.size(), 1u) << localToUtf8(plan.refusal);
        EXPECT_EQ(plan.requests.front().codecs, order);
    }
}

// Only a non-empty file at the output path is a finished download: an empty one is
// replaced by the merge, and a folder there fails the merge instead of passing for done.
TEST_F(DownloadJobTest, EmptyFileOrFolderAtTheOutputPathIsNotFinished) {
    std::ofstream(output("01_empty.mp4")).close();
    fs::create_directories(output("02_folder.mp4"));
    RecordingReport empty;
    RecordingReport folder;
    runJob(part("empty"), empty);
    runJob(part("folder", kOnePartCid, 1), folder);
    EXPECT_EQ(empty.last(), "下载完成");
    EXPECT_EQ(probe(output("01_empty.mp4")).video, 1);
    EXPECT_EQ(folder.last(), "音视频合成失败");
    EXPECT_TRUE(fs::is_directory(output("02_folder.mp4")));
}

// A stream the engine finished just before it was released is kept, though the job's
// last look had seen it still arriving: the files decide, and the next job merges it.
TEST_F(DownloadJobTest, StreamFinishedJustBeforeTheEngineStopsIsKept) {
    const std::string videoName = mediaName(kOnePartCid, 64);
    const auto size = static_cast<std::int64_t>(fs::file_size(site().mediaPath(videoName)));
    timings_ = {std::chrono::seconds(4), std::chrono::seconds(90)};
    site().setBytesPerSecond(size / 2);  // about two seconds: the job looks once before the end
    RecordingReport first;
    std::thread job([&] { runJob(part("p"), first); });
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
    timings_ = {std::chrono::milliseconds(100), std::chrono::seconds(90)};
    const std::int64_t served = site().bytesServed(videoName);
    RecordingReport second;
    runJob(part("p"), second);
    EXPECT_EQ(second.last(), "下载完成");
    EXPECT_EQ(site().bytesServed(videoName), served);
}

}  // namespace
}  // namespace quivra

// The check a merge passes before it counts as done, on files the real ffmpeg makes from
// the local site's streams.
#include <fstream>

#include "download/job/media_probe.h"
#include "download/job/merge_command.h"
#include "job_fixture.h"

namespace quivra {
namespace {

using namespace test;

class MergeCheckTest : public JobSiteTest {
  protected:
    void SetUp() override {
        JobSiteTest::SetUp();
        video_ = site().mediaPath(mediaName(kOnePartCid, 64));
        audio_ = site().mediaPath(mediaName(kOnePartCid, 30280));
        work_ = directory_ / "check";
        fs::create_directories(work_);
    }

    // Runs ffmpeg quietly on these arguments (inputs and outputs already quoted).
    void ffmpeg(const std::string& arguments) {
        int status = -1;
        runCommand("ffmpeg -nostdin -y -v error " + arguments, nullptr, &status);
        ASSERT_EQ(status, 0) << arguments;
    }
    std::string in(const fs::path& file) const { return "-i " + shellQuote(file.string()) + " "; }
    std::string out(const std::string& name) const { return shellQuote((work_ / name).string()); }

    // The first `bytes` of a file, as a copy cut short would hold them.
    fs::path cut(const fs::path& file, std::uintmax_t bytes, const std::string& name) {
        std::ifstream from(file, std::ios::binary);
        std::string data(bytes, '\0');
        from.read(data.data(), static_cast<std::streamsize>(bytes));
        std::ofstream(work_ / name, std::ios::binary) << data;
        return work_ / name;
    }

    // Where the video packet nearest to `seconds` starts: a cut there leaves whole
    // packets, which ffmpeg copies without complaint.
    std::uintmax_t packetStart(const fs::path& file, double seconds) {
        const std::string lines = runCommand(
            "ffprobe -v error -select_streams v -show_entries packet=pts_time,pos -of csv=p=0 " +
            shellQuote(file.string()));
        std::istringstream rows(lines);
        std::string row;
        while (std::getline(rows, row)) {
            const auto comma = row.find(',');
            if (comma != std::string::npos && std::stod(row.substr(0, comma)) >= seconds) {
                return std::stoull(row.substr(comma + 1));
            }
        }
        return 0;
    }

    fs::path video_;
    fs::path audio_;
    fs::path work_;
};

// One video and one audio stream pass, beside a cover picture; anything else, or a file
// that is not whole, does not.
TEST_F(MergeCheckTest, AcceptsOnlyOneVideoAndOneAudioStreamBesideACover) {
    ffmpeg("-f lavfi -i color=c=red:s=64x64 -frames:v 1 " + out("cover.jpg"));
    const std::string copy = "-c copy -f mp4 ";
    ffmpeg(in(video_) + in(audio_) + copy + out("whole.mp4"));
    ffmpeg(in(video_) + in(audio_) + in(work_ / "cover.jpg") +
           "-map 0 -map 1 -map 2 -disposition:v:1 attached_pic " + copy + out("cover.mp4"));
    ffmpeg(in(video_) + in(audio_) + in(work_ / "cover.jpg") + in(work_ / "cover.jpg") +
           "-map 0 -map 1 -map 2 -map 3 -disposition:v:1 attached_pic "
           "-disposition:v:2 attached_pic " +
           copy + out("two-covers.mp4"));
    ffmpeg(in(video_) + copy + out("video-only.mp4"));
    ffmpeg(in(video_) + in(video_) + in(audio_) + "-map 0 -map 1 -map 2 " + copy +
           out("two-videos.mp4"));
    const fs::path whole = work_ / "whole.mp4";
    cut(whole, fs::file_size(whole) / 2, "truncated.mp4");  // its index is written last

    const struct {
        const char* file;
        bool whole;
    } cases[] = {
        {"whole.mp4", true},       {"cover.mp4", true},       {"two-covers.mp4", false},
        {"video-only.mp4", false}, {"two-videos.mp4", false}, {"truncated.mp4", false},
        {"cover.jpg", false},      {"missing.mp4", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isWholeMerge((work_ / c.file).string(), video_, audio_), c.whole) << c.file;
    }
    const MediaSummary cover = probeMedia((work_ / "cover.mp4").string());
    EXPECT_EQ(cover.videoStreams, 1);
    EXPECT_EQ(cover.pictureStreams, 1);
    EXPECT_EQ(cover.audioStreams, 1);
}

// A merge the check refuses fails: no output under either name, both streams as they
// were. A video cut between two packets is one that ffmpeg itself merges without error,
// and the whole still lasts as long as the audio.
TEST_F(MergeCheckTest, RefusedMergeFailsAndKeepsBothStreams) {
    const fs::path cutVideo = cut(video_, packetStart(video_, 1.0), "cut-video.mp4");
    const fs::path silent = work_ / "no-audio.mp4";
    ffmpeg(in(video_) + "-c copy -f mp4 " + out("no-audio.mp4"));

    const struct {
        const char* what;
        fs::path video;
        fs::path audio;
    } cases[] = {
        {"a video stream cut short", cutVideo, audio_},
        {"an audio file without audio", video_, silent},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto videoBytes = fs::file_size(c.video);
        const auto audioBytes = fs::file_size(c.audio);
        const fs::path output = work_ / "out.mp4";
        EXPECT_FALSE(mergeStreams(c.video.string(), c.audio.string(), output.string()));
        EXPECT_FALSE(fs::exists(output));
        EXPECT_FALSE(fs::exists(output.string() + kPartSuffix));
        EXPECT_EQ(fs::file_size(c.video), videoBytes);
        EXPECT_EQ(fs::file_size(c.audio), audioBytes);
    }
}

// A merge never takes the name of a finished file (another part a template named alike):
// it fails and that file stays; an empty file there gives way.
TEST_F(MergeCheckTest, MergeNeverReplacesAFinishedFile) {
    const fs::path output = work_ / "taken.mp4";
    std::ofstream(output, std::ios::binary) << "another part's file";
    EXPECT_FALSE(mergeStreams(video_.string(), audio_.string(), output.string()));
    EXPECT_EQ(fs::file_size(output), std::string("another part's file").size());
    EXPECT_FALSE(fs::exists(output.string() + kPartSuffix));

    std::ofstream(output, std::ios::binary | std::ios::trunc).close();
    EXPECT_TRUE(mergeStreams(video_.string(), audio_.string(), output.string()));
    EXPECT_TRUE(isWholeMerge(output.string(), video_, audio_));
    // A merge that lost its subtitle track or its chapters is not whole.
    EXPECT_FALSE(isWholeMerge(output.string(), video_, audio_, {1, false, false}));
    EXPECT_FALSE(isWholeMerge(output.string(), video_, audio_, {0, true, false}));
}

// The command line of each format; the default one (MP4 of video and audio) is the one
// every earlier version ran, to the byte.
TEST(MergeCommandLine, FollowsTheFormatAndTheStreams) {
    const MergeExtras cover{{{"title", "t"}}, "c.jpg", {}, "", ""};
    const MergeExtras texts{{}, "", {{"s.srt", "chi", "中文 'x'"}}, "ch.txt", ""};
    const MergeExtras comments{{}, "", {{"s.srt", "eng", "E"}}, "", "d.ass"};
    const struct {
        const char* video;
        const char* audio;
        MergeExtras extras;
        OutputFormat format;
        const char* line;
    } cases[] = {
        {"v",
         "a",
         {},
         OutputFormat::Mp4,
         "-i 'file:v' -i 'file:a' -vcodec copy -acodec copy -f mp4 'file:o'"},
        {"v", "a", cover, OutputFormat::Mp4,
         "-i 'file:v' -i 'file:a' -i 'file:c.jpg' -map 0:v:0 -map 1:a:0 -map 2:v:0 -vcodec copy "
         "-acodec copy -disposition:v:1 attached_pic -metadata 'title=t' -f mp4 'file:o'"},
        {"v", "a", cover, OutputFormat::Mkv,
         "-i 'file:v' -i 'file:a' -attach 'file:c.jpg' -vcodec copy -acodec copy "
         "-metadata:s:t mimetype=image/jpeg -metadata:s:t filename=cover.jpg -metadata 'title=t' "
         "-f matroska 'file:o'"},
        {"", "a", cover, OutputFormat::M4a,
         "-i 'file:a' -i 'file:c.jpg' -map 0:a:0 -map 1:v:0 -vcodec copy -acodec copy "
         "-disposition:v:0 attached_pic -metadata 'title=t' -f mp4 'file:o'"},
        {"", "a", cover, OutputFormat::Flac,
         "-i 'file:a' -i 'file:c.jpg' -map 0:a:0 -map 1:v:0 -vcodec copy -acodec copy "
         "-disposition:v:0 attached_pic -metadata 'title=t' -f flac 'file:o'"},
        {"v", "", {}, OutputFormat::Mkv, "-i 'file:v' -vcodec copy -f matroska 'file:o'"},
        {"v", "a", texts, OutputFormat::Mp4,
         "-i 'file:v' -i 'file:a' -i 'file:s.srt' -i 'file:ch.txt' -map 0:v:0 -map 1:a:0 "
         "-map 2:s:0 -map_chapters 3 -vcodec copy -acodec copy -scodec mov_text "
         "-metadata:s:s:0 'language=chi' -metadata:s:s:0 'handler_name=中文 '\\''x'\\''' "
         "-f mp4 'file:o'"},
        {"v", "", texts, OutputFormat::Mkv,
         "-i 'file:v' -i 'file:s.srt' -i 'file:ch.txt' -map 0:v:0 -map 1:s:0 -map_chapters 2 "
         "-vcodec copy -scodec subrip -metadata:s:s:0 'language=chi' "
         "-metadata:s:s:0 'title=中文 '\\''x'\\''' -f matroska 'file:o'"},
        // The comments' ASS stays ASS, whatever -scodec makes of the others; MP4 takes none.
        {"v", "", comments, OutputFormat::Mkv,
         "-i 'file:v' -i 'file:s.srt' -i 'file:d.ass' -map 0:v:0 -map 1:s:0 -map 2:s:0 "
         "-vcodec copy -scodec subrip -metadata:s:s:0 'language=eng' -metadata:s:s:0 'title=E' "
         "-c:s:1 copy -metadata:s:s:1 language=chi -metadata:s:s:1 'title=弹幕' "
         "-f matroska 'file:o'"},
        {"v",
         "",
         {{}, "", {}, "", "d.ass"},
         OutputFormat::Mp4,
         "-i 'file:v' -vcodec copy -f mp4 'file:o'"},
        // Audio alone carries no text tracks and no chapters.
        {"", "a", texts, OutputFormat::M4a, "-i 'file:a' -acodec copy -f mp4 'file:o'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mergeCommandLine(c.video, c.audio, "o", c.extras, c.format),
                  std::string("ffmpeg -xerror -y -loglevel error ") + c.line);
    }
}

// Each content and container through the real merge and its check: the streams the
// choice wants, the cover read back as a picture and the tags, in MKV, M4A (AAC and
// E-AC-3), FLAC and a video-only MP4; the check refuses a file short of a stream or
// holding one too many.
TEST_F(MergeCheckTest, EveryFormatMergesWhole) {
    ffmpeg("-f lavfi -i color=c=red:s=64x64 -frames:v 1 " + out("cover.jpg"));
    // The site's lossless and Dolby streams come in MP4 fragments like the others.
    ffmpeg(in(audio_) + "-c:a flac -strict -2 -f mp4 " + out("flac.m4s"));
    ffmpeg(in(audio_) + "-c:a eac3 -f mp4 " + out("eac3.m4s"));
    const std::string flac = (work_ / "flac.m4s").string();
    const std::string eac3 = (work_ / "eac3.m4s").string();
    // The bullet comments' ASS goes into the MKV alone, and its check counts it; its last
    // comment flies on past the streams' end.
    std::ofstream(work_ / "c.ass") << "[Script Info]\nScriptType: v4.00+\nPlayResX: 64\n"
                                      "PlayResY: 64\n\n[V4+ Styles]\nFormat: Name, Fontsize\n"
                                      "Style: Danmaku,20\n\n[Events]\nFormat: Layer, Start, "
                                      "End, Style, Name, MarginL, MarginR, MarginV, Effect, "
                                      "Text\nDialogue: 0,0:00:01.00,0:00:30.00,Danmaku,,0,0,0,,"
                                      "弹幕\n";
    const MergeExtras extras{{{"title", "标题"}, {"artist", "作者"}},
                             (work_ / "cover.jpg").string(),
                             {},
                             "",
                             (work_ / "c.ass").string()};
    const struct {
        const char* output;
        std::string video;
        std::string audio;
        const char* audioCodec;  // "": no audio
    } cases[] = {
        {"av.mkv", video_, audio_, "aac"}, {"aac.m4a", "", audio_, "aac"},
        {"eac3.m4a", "", eac3, "eac3"},    {"lossless.flac", "", flac, "flac"},
        {"video.mp4", video_, "", ""},     {"video.mkv", video_, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const std::string output = (work_ / c.output).string();
        ASSERT_TRUE(mergeStreams(c.video, c.audio, output, extras));
        const MediaSummary merged = probeMedia(output);
        EXPECT_EQ(merged.videoStreams, c.video.empty() ? 0 : 1);
        EXPECT_EQ(merged.audioStreams, c.audio.empty() ? 0 : 1);
        EXPECT_EQ(merged.pictureStreams, 1);
        EXPECT_EQ(merged.subtitleStreams, std::string(c.output).ends_with(".mkv") ? 1 : 0);
        const std::string read = runCommand(
            "ffprobe -v error -show_entries format_tags=title,artist:stream=codec_name -of "
            "default=nw=1 " +
            shellQuote(output));
        EXPECT_NE(read.find("标题"), std::string::npos) << read;
        EXPECT_NE(read.find("作者"), std::string::npos) << read;
        if (*c.audioCodec) {
            EXPECT_NE(read.find(c.audioCodec), std::string::npos) << read;
        }
        // The same file does not pass for another choice of streams.
        EXPECT_FALSE(isWholeMerge(output, c.video.empty() ? video_.string() : "", c.audio));
        EXPECT_FALSE(isWholeMerge(output, c.video, c.audio.empty() ? audio_.string() : ""));
    }
}

}  // namespace
}  // namespace quivra

// The real programs downloading on the command line: get, list and resume, against the
// local site, with the engine, the download list and ffmpeg of the windows.
#include <gtest/gtest.h>
#include <signal.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/time_window.h"
#include "devsite/dev_site.h"
#include "download/list/download_queue.h"
#include "download/list/download_store.h"
#include "download/thread_pool.h"
#include "program_folder.h"
#include "support/program_job.h"
#include "support/started_program.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;
using devsite::kOnePartBvid;
using devsite::kThreePartBvid;
using test::ProgramRun;
using test::StartedProgram;

constexpr auto kLimit = std::chrono::seconds(120);
// The streams ffprobe reads from a part of quality 80 and from the local site's cover.
constexpr const char* kVideo = "video,960,540";
constexpr const char* kCover = "video,320,180";

class DownloadCommandTest : public test::ProgramFolderSuite {
  protected:
    void SetUp() override {
        ProgramFolderSuite::SetUp();
        site().setBytesPerSecond(0);
        for (const char* file : {"downloads.db", "downloads.db-wal", "downloads.db-shm"}) {
            fs::remove(folder() / file);
        }
        fs::remove_all(downloads());
    }

    static fs::path downloads() { return folder() / "downloads"; }
    static fs::path threeParts() { return downloads() / "三段_练习"; }
    static std::string media(const char* bvid, int cid, int stream) {
        return std::string(bvid) + "-" + std::to_string(cid) + "-" + std::to_string(stream) +
               ".m4s";
    }

    static nlohmann::json listed() {
        const ProgramRun list = run({"list", "--json"});
        EXPECT_EQ(list.status, 0) << list.err;
        return nlohmann::json::parse(list.out, nullptr, false);
    }

    // Starts a get with --json and waits until it has fetched bytes of `parts` parts.
    static bool fetching(StartedProgram& get, std::size_t parts) {
        return get.waitForOutput(
            [parts](const std::string& out) {
                std::set<std::int64_t> fetched;
                for (const std::string& line : test::linesOf(out)) {
                    const auto event = nlohmann::json::parse(line, nullptr, false);
                    if (event.value("bytesDone", 0) > 0) fetched.insert(event.value("id", 0));
                }
                return fetched.size() >= parts;
            },
            kLimit);
    }
};

// The streams of a media file as ffprobe reads them: "video,W,H" or "audio".
std::vector<std::string> streamsOf(const fs::path& file) {
    return test::linesOf(test::runProgram("/usr/bin/ffprobe", {"-v", "error", "-show_entries",
                                                               "stream=codec_type,width,height",
                                                               "-of", "csv=p=0", file.string()})
                             .out);
}

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The tags of a media file's container as ffprobe reads them, without the muxer's own.
std::map<std::string, std::string> tagsOf(const fs::path& file) {
    const nlohmann::json probed = nlohmann::json::parse(
        test::runProgram("/usr/bin/ffprobe", {"-v", "error", "-show_entries", "format_tags", "-of",
                                              "json", file.string()})
            .out,
        nullptr, false);
    std::map<std::string, std::string> tags;
    if (!probed.is_object()) return tags;
    const nlohmann::json found =
        probed.value("format", nlohmann::json::object()).value("tags", nlohmann::json::object());
    for (const auto& [key, value] : found.items()) {
        if (key != "major_brand" && key != "minor_version" && key != "compatible_brands" &&
            key != "encoder") {
            tags[key] = value.get<std::string>();
        }
    }
    return tags;
}

// The one attached picture of a file: "video,W,H,1" when it carries a cover.
std::vector<std::string> attachedPictures(const fs::path& file) {
    std::vector<std::string> pictures;
    for (const std::string& line :
         test::linesOf(test::runProgram("/usr/bin/ffprobe",
                                        {"-v", "error", "-show_entries",
                                         "stream=codec_type,width,height:stream_disposition="
                                         "attached_pic",
                                         "-of", "csv=p=0", file.string()})
                           .out)) {
        if (line.ends_with(",1")) pictures.push_back(line);
    }
    return pictures;
}

TEST_F(DownloadCommandTest, GetMakesEachPartAsTheWindowNamesItAndSkipsItTheNextTime) {
    const ProgramRun get = run({"get", kThreePartBvid, "-o", downloads().string()});
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(get.err, "");
    const std::vector<std::string> names = {"01_第一段_出发.mp4", "02_第二段_途中.mp4",
                                            "03_第三段_到达.mp4"};
    std::vector<std::string> files = names;
    files.push_back("cover.jpg");
    EXPECT_EQ(filesIn(threeParts()), files);
    for (const std::string& name : names) {
        // Without a login the best quality allowed is 1080P (80): 960x540.
        EXPECT_EQ(streamsOf(threeParts() / name),
                  (std::vector<std::string>{kVideo, "audio", kCover}))
            << name;
    }
    EXPECT_TRUE(fs::is_empty(downloads() / "temp"));
    EXPECT_NE(get.out.find("03 第三段 到达: 下载完成\n"), std::string::npos) << get.out;
    // The folder was for this run only.
    EXPECT_EQ(readConfigItem(configPath(), "download", "directory"), "");

    const nlohmann::json items = listed();
    ASSERT_EQ(items.size(), 3u);
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i]["bvid"], kThreePartBvid);
        EXPECT_EQ(items[i]["title"], "三段_练习");
        EXPECT_EQ(items[i]["number"], "0" + std::to_string(i + 1));
        EXPECT_EQ(items[i]["state"], "done");
        EXPECT_EQ(items[i]["text"], "下载完成");
        EXPECT_EQ(items[i]["quality"], 80);
        EXPECT_EQ(items[i]["qualityName"], "1080P 高清");
        EXPECT_EQ(items[i]["codec"], "AVC");
        EXPECT_EQ(items[i]["file"], (threeParts() / names[i]).string());
        EXPECT_EQ(items[i]["bytesDone"], fs::file_size(threeParts() / names[i]));
    }
    EXPECT_EQ(items[1]["name"], "第二段：途中");

    site().clearRequests();
    const ProgramRun again = run({"get", kThreePartBvid, "-o", downloads().string()});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(mediaRequests().empty());
    EXPECT_EQ(listed().size(), 3u);
}

// Each part carries the video's facts as the site gives them, and the cover fetched once.
TEST_F(DownloadCommandTest, GetTagsEachPartAndAttachesTheCover) {
    const ProgramRun get = run({"get", kThreePartBvid, "-o", downloads().string(), "-j", "3"});
    ASSERT_EQ(get.status, 0) << get.err;
    const std::string page = site().baseUrl() + "/video/";
    const char* const names[] = {"01_第一段_出发.mp4", "02_第二段_途中.mp4", "03_第三段_到达.mp4"};
    const char* const titles[] = {"第一段 出发", "第二段：途中", "第三段 到达"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        const std::map<std::string, std::string> wanted = {
            {"title", titles[i]},
            {"artist", "晨光小站"},
            {"album", "三段 练习"},
            {"track", std::to_string(i + 1) + "/3"},
            {"date", "2021-08-27"},
            {"comment", page + kThreePartBvid},
            {"description", "Three short parts.\n三段短片。"}};
        EXPECT_EQ(tagsOf(threeParts() / names[i]), wanted);
        EXPECT_EQ(attachedPictures(threeParts() / names[i]),
                  (std::vector<std::string>{"video,320,180,1"}));
    }
    EXPECT_EQ(streamsOf(threeParts() / "cover.jpg"), std::vector<std::string>{kCover});
    EXPECT_EQ(site().requestsTo(std::string("/cover/") + kThreePartBvid + ".jpg").size(), 1u);

    // A one-part video: the video's title, no album and no track.
    ASSERT_EQ(run({"get", kOnePartBvid, "-o", downloads().string()}).status, 0);
    EXPECT_EQ(tagsOf(downloads() / "山间小路的清晨" / "01_山间小路的清晨.mp4"),
              (std::map<std::string, std::string>{
                  {"title", "山间小路的清晨"},
                  {"artist", "晨光小站"},
                  {"date", "2021-03-05"},
                  {"comment", page + kOnePartBvid},
                  {"description", "A quiet morning walk.\n清晨的山路。"}}));
}

// Quotes, a line break, $( ), backticks and ; in the site's texts run nothing and reach the
// tags as they are.
TEST_F(DownloadCommandTest, ShellSyntaxInTheSitesTextsReachesTheTagsUnchanged) {
    const fs::path ran = folder() / "ran";
    const std::string title = "It's \"$(touch " + ran.string() + ")\" `touch " + ran.string() +
                              "`; touch " + ran.string() + "\n第二行 $HOME";
    nlohmann::json answer = {
        {"code", 0},
        {"data",
         {{"bvid", kOnePartBvid},
          {"videos", 1},
          {"title", title},
          {"pic", site().baseUrl() + "/cover/" + kOnePartBvid + ".jpg"},
          {"owner", {{"name", "a'b;c"}}},
          {"cid", 3001},
          {"pages", nlohmann::json::array(
                        {{{"cid", 3001}, {"page", 1}, {"part", "p"}, {"duration", 2}}})}}}};
    site().overrideAnswer("/x/web-interface/view", 200, answer.dump(), "application/json");
    const ProgramRun get = run({"get", kOnePartBvid, "-o", downloads().string()});
    ASSERT_EQ(get.status, 0) << get.err;
    std::vector<std::string> made;
    for (const auto& entry : fs::recursive_directory_iterator(downloads())) {
        if (entry.path().extension() == ".mp4") made.push_back(entry.path().string());
    }
    ASSERT_EQ(made.size(), 1u);
    const std::map<std::string, std::string> tags = tagsOf(made[0]);
    EXPECT_EQ(tags.at("title"), title);
    EXPECT_EQ(tags.at("artist"), "a'b;c");
    EXPECT_FALSE(fs::exists(ran));
}

// A cover that cannot be had costs nothing: the MP4 is made with its tags and no picture,
// and the part is done without a word.
TEST_F(DownloadCommandTest, CoverThatCannotBeHadLeavesATaggedMp4WithoutIt) {
    struct Case {
        const char* what;
        int status;  // of the override; 0: the site's own 404
        std::string body;
    };
    const Case cases[] = {
        {"404", 0, ""},
        {"a page instead of a picture", 200, "<html>no</html>"},
        {"a picture ffmpeg cannot read", 200, "\xFF\xD8\xFF\xE0 not really a picture"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(downloads());
        site().clearOverrides();
        const char* bvid = c.status == 0 ? devsite::kMissingCoverBvid : kOnePartBvid;
        if (c.status != 0) {
            site().overrideAnswer(std::string("/cover/") + bvid + ".jpg", c.status, c.body,
                                  "image/jpeg");
        }
        const ProgramRun get = run({"get", bvid, "-p", "1", "-o", downloads().string()});
        ASSERT_EQ(get.status, 0) << get.err;
        EXPECT_EQ(get.err, "");
        std::vector<fs::path> made;
        for (const auto& entry : fs::recursive_directory_iterator(downloads())) {
            if (entry.path().extension() == ".mp4") made.push_back(entry.path());
            EXPECT_NE(entry.path().filename(), "cover.jpg");
        }
        ASSERT_EQ(made.size(), 1u);
        EXPECT_EQ(streamsOf(made[0]).size(), 2u);
        EXPECT_EQ(tagsOf(made[0]).count("artist"), 1u);
        EXPECT_EQ(listed().back()["state"], "done");
    }
}

// With both settings off the MP4 is today's: no tags, no picture, no cover.jpg, no request.
TEST_F(DownloadCommandTest, SettingsOffGiveThePlainMp4) {
    test::writeBytes(configPath(),
                     test::readBytes(configPath()) + "[download]\nwriteTags=0\nsaveCover=0\n");
    ASSERT_EQ(run({"get", kOnePartBvid, "-o", downloads().string()}).status, 0);
    const fs::path made = downloads() / "山间小路的清晨" / "01_山间小路的清晨.mp4";
    EXPECT_EQ(streamsOf(made), (std::vector<std::string>{kVideo, "audio"}));
    EXPECT_TRUE(tagsOf(made).empty());
    EXPECT_EQ(filesIn(made.parent_path()), std::vector<std::string>{made.filename().string()});
    EXPECT_TRUE(site().requestsTo("/cover").empty());
}

// --nfo writes the texts the MP4 would carry beside it for a media library, even with
// 写入视频信息 off, which keeps the MP4 without tags.
TEST_F(DownloadCommandTest, NfoOptionWritesTheLibraryFileBesideThePart) {
    test::writeBytes(configPath(), test::readBytes(configPath()) + "[download]\nwriteTags=0\n");
    ASSERT_EQ(run({"get", kOnePartBvid, "-o", downloads().string(), "--nfo"}).status, 0);
    const fs::path folder = downloads() / "山间小路的清晨";
    EXPECT_TRUE(tagsOf(folder / "01_山间小路的清晨.mp4").empty());
    const std::string nfo = test::readBytes((folder / "01_山间小路的清晨.nfo").string());
    for (const std::string& element :
         {std::string("<movie>"), std::string("<title>山间小路的清晨</title>"),
          std::string("<plot>A quiet morning walk.\n清晨的山路。</plot>"),
          std::string("<premiered>2021-03-05</premiered>"),
          std::string("<studio>晨光小站</studio>"), ">" + std::string(kOnePartBvid) + "</uniqueid>",
          std::string("<thumb>cover.jpg</thumb>")}) {
        EXPECT_NE(nfo.find(element), std::string::npos) << element << "\n" << nfo;
    }
    EXPECT_EQ(readConfigItem(configPath(), "download", "libraryInfo"), "");  // for the run only
}

// --codec orders the codecs for the run only: the part is taken in HEVC, though the stored
// order puts AV1 first, and the stored order stays.
TEST_F(DownloadCommandTest, CodecOptionOverridesTheStoredOrderForTheRun) {
    test::writeBytes(configPath(),
                     test::readBytes(configPath()) + "[download]\nvideoCodecs=av1,avc,hevc\n");
    const ProgramRun get =
        run({"get", kOnePartBvid, "-o", downloads().string(), "--codec", "hevc"});
    ASSERT_EQ(get.status, 0) << get.err;
    const fs::path made = downloads() / "山间小路的清晨" / "01_山间小路的清晨.mp4";
    const std::vector<std::string> codecs =
        test::linesOf(test::runProgram("/usr/bin/ffprobe",
                                       {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                        "stream=codec_name", "-of", "csv=p=0", made.string()})
                          .out);
    EXPECT_EQ(codecs, std::vector<std::string>{"hevc"});
    EXPECT_EQ(findConfigItem(configPath(), "download", "videoCodecs"), "av1,avc,hevc");
}

// --audio-only, --video-only and --container choose the part's file for the run only.
TEST_F(DownloadCommandTest, ContentAndContainerOptionsChooseThePartsFile) {
    constexpr const char* kCover = "video,320,180";
    const struct {
        std::vector<std::string> options;
        const char* file;
        std::vector<std::string> streams;
    } cases[] = {
        {{"--audio-only"}, "01_山间小路的清晨.m4a", {"audio", kCover}},
        {{"--video-only", "--container", "mkv"}, "01_山间小路的清晨.mkv", {kVideo, kCover}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"get", kOnePartBvid, "-o", downloads().string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProgramRun get = run(args);
        ASSERT_EQ(get.status, 0) << get.err;
        EXPECT_EQ(streamsOf(downloads() / "山间小路的清晨" / c.file), c.streams) << c.file;
    }
    EXPECT_EQ(findConfigItem(configPath(), "download", "downloadContent"), std::nullopt);
}

// The subtitle tracks of a media file: "codec,language,title" each.
std::vector<std::string> subtitleTracksOf(const fs::path& file) {
    const nlohmann::json probed = nlohmann::json::parse(
        test::runProgram("/usr/bin/ffprobe",
                         {"-v", "error", "-select_streams", "s", "-show_entries",
                          "stream=codec_name:stream_tags=language,title,handler_name", "-of",
                          "json", file.string()})
            .out,
        nullptr, false);
    std::vector<std::string> tracks;
    for (const nlohmann::json& stream : probed.value("streams", nlohmann::json::array())) {
        const nlohmann::json tags = stream.value("tags", nlohmann::json::object());
        // MP4 names a track by its handler.
        tracks.push_back(stream.value("codec_name", "") + "," + tags.value("language", "") + "," +
                         tags.value("title", tags.value("handler_name", "")));
    }
    return tracks;
}

// The chapters of a media file: "start-end title" each, times in milliseconds.
std::vector<std::string> chaptersOf(const fs::path& file) {
    const nlohmann::json probed = nlohmann::json::parse(
        test::runProgram("/usr/bin/ffprobe",
                         {"-v", "error", "-show_chapters", "-of", "json", file.string()})
            .out,
        nullptr, false);
    std::vector<std::string> chapters;
    for (const nlohmann::json& chapter : probed.value("chapters", nlohmann::json::array())) {
        const auto ms = [&](const char* key) {
            return std::to_string(std::lround(std::stod(chapter.value(key, "0")) * 1000));
        };
        chapters.push_back(ms("start_time") + "-" + ms("end_time") + " " +
                           chapter.value("tags", nlohmann::json::object()).value("title", ""));
    }
    return chapters;
}

std::string textOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The uploader's subtitles go beside the part's file and into it, its view points become
// its chapters; a part answered with another's player information gets neither and says so.
TEST_F(DownloadCommandTest, SubtitlesAndChaptersGoIntoThePartsFileAndBesideIt) {
    const ProgramRun get = run({"get", devsite::kCommentsBvid, "-p", "1-2", "-o",
                                downloads().string(), "--json", "--no-cover"});
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_NE(get.out.find("另一分P"), std::string::npos) << get.out;
    // The two parts' signed player information shares the run's keys.
    EXPECT_EQ(site().requestsTo("/x/web-interface/nav").size(), 1u);
    const std::vector<std::string> folders = filesIn(downloads());
    ASSERT_EQ(folders.size(), 2u);  // the video's and temp
    const fs::path video = downloads() / folders[folders[0] == "temp" ? 1 : 0];
    EXPECT_EQ(filesIn(video),
              (std::vector<std::string>{"01_字幕与章节.en-US.srt", "01_字幕与章节.mp4",
                                        "01_字幕与章节.zh-CN.srt", "02_答非所问.mp4"}));
    EXPECT_EQ(subtitleTracksOf(video / "01_字幕与章节.mp4"),
              (std::vector<std::string>{"mov_text,chi,中文（中国）", "mov_text,eng,English"}));
    const std::vector<std::string> chapters = chaptersOf(video / "01_字幕与章节.mp4");
    ASSERT_EQ(chapters.size(), 3u);
    EXPECT_EQ(chapters[0], "0-700 开场");
    EXPECT_EQ(chapters[1], "700-1400 第二章：途中");
    EXPECT_TRUE(chapters[2].starts_with("1400-2000 结尾")) << chapters[2];
    EXPECT_EQ(textOf(video / "01_字幕与章节.zh-CN.srt"),
              "1\n00:00:00,200 --> 00:00:00,900\n第一句 🎵\n\n"
              "2\n00:00:01,000 --> 00:00:01,800\n第二句\n两行\n\n");
    EXPECT_NE(textOf(video / "01_字幕与章节.en-US.srt").find("Second line"), std::string::npos);
    EXPECT_EQ(subtitleTracksOf(video / "02_答非所问.mp4"), std::vector<std::string>{});
    EXPECT_EQ(chaptersOf(video / "02_答非所问.mp4"), std::vector<std::string>{});

    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> files;
        std::vector<std::string> tracks;  // of the last file
    };
    const Case cases[] = {
        {{"--subtitles", "none"}, {"01_字幕与章节.mp4"}, {}},
        // 包含AI字幕 is stored on below; a list of languages takes those it names.
        {{"--subtitles-only"},
         {"01_字幕与章节.ai-zh.srt", "01_字幕与章节.en-US.srt", "01_字幕与章节.zh-CN.srt"},
         {}},
        {{"--container", "mkv", "--subtitles", "en-US,ai-zh"},
         {"01_字幕与章节.ai-zh.srt", "01_字幕与章节.en-US.srt", "01_字幕与章节.mkv"},
         {"subrip,eng,English", "subrip,chi,中文（自动生成）"}},
    };
    writeConfigItem(configPath(), "download", "aiSubtitles", "1");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.back());
        fs::remove_all(downloads());
        std::vector<std::string> args = {"get", devsite::kCommentsBvid, "-p",        "1",
                                         "-o",  downloads().string(),   "--no-cover"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProgramRun one = run(args);
        ASSERT_EQ(one.status, 0) << one.err;
        EXPECT_EQ(filesIn(video), c.files);
        if (c.files.back().ends_with(".srt")) continue;
        EXPECT_EQ(subtitleTracksOf(video / c.files.back()), c.tracks);
        EXPECT_EQ(chaptersOf(video / c.files.back()).size(), 3u);
    }
}

// "video,W,H" of the frame an ASS file is drawn on.
std::string assFrameOf(const fs::path& ass) {
    const std::string text = textOf(ass);
    const auto value = [&](const std::string& key) {
        const std::size_t at = text.find(key + ": ");
        if (at == std::string::npos) return std::string();
        const std::size_t from = at + key.size() + 2;
        return text.substr(from, text.find('\n', from) - from);
    };
    return "video," + value("PlayResX") + "," + value("PlayResY");
}

// With --danmaku each part gets the site's comments and an ASS drawn on its video's frame
// (0 comments: the header alone); an MKV takes the ASS as a track only with 弹幕轨道;
// --danmaku-only writes the two files alone, and a second time finds them done.
TEST_F(DownloadCommandTest, BulletCommentsGoBesideEachPartOnItsFrame) {
    writeConfigItem(configPath(), "download", "danmakuTrack", "1");
    const std::vector<std::string> common = {
        "get",        devsite::kCommentsBvid, "-o",  downloads().string(),
        "--no-cover", "--subtitles",          "none"};
    const auto get = [&](std::vector<std::string> options) {
        std::vector<std::string> args = common;
        args.insert(args.end(), options.begin(), options.end());
        const ProgramRun done = run(args);
        EXPECT_EQ(done.status, 0) << done.err;
    };
    get({"-p", "1-2", "--danmaku"});
    const fs::path video = downloads() / "字幕_弹幕_章节";
    EXPECT_EQ(filesIn(video),
              (std::vector<std::string>{"01_字幕与章节.danmaku.ass", "01_字幕与章节.danmaku.xml",
                                        "01_字幕与章节.mp4", "02_答非所问.danmaku.ass",
                                        "02_答非所问.danmaku.xml", "02_答非所问.mp4"}));
    for (const char* name : {"01_字幕与章节", "02_答非所问"}) {
        SCOPED_TRACE(name);
        const fs::path mp4 = video / (std::string(name) + ".mp4");
        EXPECT_EQ(assFrameOf(video / (std::string(name) + ".danmaku.ass")), streamsOf(mp4).at(0));
        EXPECT_EQ(subtitleTracksOf(mp4), std::vector<std::string>{});  // MP4 takes no ASS
    }
    const std::string xml = textOf(video / "01_字幕与章节.danmaku.xml");
    std::size_t comments = 0;
    for (std::size_t at = 0; (at = xml.find("<d p=", at)) != std::string::npos; ++at) ++comments;
    EXPECT_EQ(comments, static_cast<std::size_t>(devsite::kCrowdedDanmakuCount));
    EXPECT_NE(textOf(video / "01_字幕与章节.danmaku.ass").find("Dialogue: "), std::string::npos);
    EXPECT_EQ(textOf(video / "02_答非所问.danmaku.ass").find("Dialogue: "), std::string::npos);

    fs::remove_all(downloads());
    get({"-p", "1", "--danmaku", "--container", "mkv"});
    EXPECT_EQ(subtitleTracksOf(video / "01_字幕与章节.mkv"),
              std::vector<std::string>{"ass,chi,弹幕"});
    // The part's comments run for an hour; those after its 2 s are not drawn, so the file
    // lasts at most one comment's flight longer than its video.
    const std::string seconds =
        test::runProgram("/usr/bin/ffprobe",
                         {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
                          (video / "01_字幕与章节.mkv").string()})
            .out;
    EXPECT_LT(std::stod(seconds), 12) << seconds;

    fs::remove_all(downloads());
    get({"-p", "1", "--danmaku-only"});
    EXPECT_EQ(filesIn(video),
              (std::vector<std::string>{"01_字幕与章节.danmaku.ass", "01_字幕与章节.danmaku.xml"}));
    EXPECT_EQ(assFrameOf(video / "01_字幕与章节.danmaku.ass"), "video,1920,1080");
    const std::size_t asked = site().requestsTo("/x/v1/dm/list.so").size();
    get({"-p", "1", "--danmaku-only"});
    EXPECT_EQ(site().requestsTo("/x/v1/dm/list.so").size(), asked);
}

// --output names the files for the run only; a template reaching outside the download
// folder is refused before anything is fetched.
TEST_F(DownloadCommandTest, OutputOptionNamesTheFilesForTheRun) {
    const ProgramRun refused =
        run({"get", kOnePartBvid, "-o", downloads().string(), "--output", "../x"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("文件名格式中的目录不能是.或.."), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(downloads()));

    const ProgramRun get =
        run({"get", kOnePartBvid, "-o", downloads().string(), "--output", "{bvid}/{pageNumber}"});
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(streamsOf(downloads() / kOnePartBvid / "1.mp4"),
              (std::vector<std::string>{kVideo, "audio", kCover}));
    EXPECT_EQ(readConfigItem(configPath(), "download", "fileNameTemplate"), "");
}

TEST_F(DownloadCommandTest, GetTakesThePartsAndQualitiesAsked) {
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> made;  // the parts' files, with their video streams
    };
    const Case cases[] = {
        {{"-p", "1,3", "-q", "720P", "-a", "medium"},
         {"01_第一段_出发.mp4 video,768,432", "03_第三段_到达.mp4 video,768,432",
          "cover.jpg video,320,180"}},
        {{"-p", "2-2", "-q", "32", "-a", "低"},
         {"02_第二段_途中.mp4 video,512,288", "cover.jpg video,320,180"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options[1]);
        fs::remove_all(threeParts());
        site().clearRequests();
        std::vector<std::string> args = {"get", kThreePartBvid, "-o", downloads().string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProgramRun get = run(args);
        ASSERT_EQ(get.status, 0) << get.err;
        std::vector<std::string> made;
        for (const std::string& name : filesIn(threeParts())) {
            made.push_back(name + " " + streamsOf(threeParts() / name).front());
        }
        EXPECT_EQ(made, c.made);
        const std::string audio = c.options.back() == "medium" ? "-30232.m4s" : "-30216.m4s";
        int audioRequests = 0;
        for (const auto& request : mediaRequests()) {
            if (request.path.find("-302") == std::string::npos) continue;  // a video stream
            ++audioRequests;
            EXPECT_TRUE(request.path.ends_with(audio)) << request.path;
        }
        EXPECT_GT(audioRequests, 0);
    }
}

// -a lossless takes the FLAC stream into an MKV where the video has it, -a dolby the E-AC-3
// one into an MP4; without membership the part fails with the member message and nothing
// is written.
TEST_F(DownloadCommandTest, LosslessAndDolbyAudioAreMergedForMembersOnly) {
    struct Case {
        const char* audio;
        const char* file;
        const char* codec;
    };
    for (const Case& c :
         {Case{"lossless", "01_音频.mkv", "flac\n"}, Case{"dolby", "01_音频.mp4", "eac3\n"}}) {
        SCOPED_TRACE(c.audio);
        fs::remove_all(downloads());
        const fs::path made = downloads() / "无损与杜比音频" / c.file;
        const std::vector<std::string> args = {
            "get", devsite::kLosslessBvid, "-o", downloads().string(), "-a", c.audio};
        ASSERT_TRUE(writeConfigItem(configPath(), "user", "cookie", devsite::kMemberCookie));
        const ProgramRun member = run(args);
        ASSERT_EQ(member.status, 0) << member.err;
        const auto codecOf = [&](const char* stream) {
            return test::runProgram("/usr/bin/ffprobe", {"-v", "error", "-select_streams", stream,
                                                         "-show_entries", "stream=codec_name",
                                                         "-of", "default=nw=1:nk=1", made.string()})
                .out;
        };
        EXPECT_EQ(codecOf("a"), c.codec);
        EXPECT_EQ(codecOf("v:0"), "h264\n");

        fs::remove_all(downloads());
        ASSERT_TRUE(writeConfigItem(configPath(), "user", "cookie", devsite::kPlainCookie));
        const ProgramRun plain = run(args);
        ASSERT_TRUE(writeConfigItem(configPath(), "user", "cookie", ""));
        EXPECT_EQ(plain.status, 1);
        EXPECT_NE(plain.err.find("大会员"), std::string::npos) << plain.err;
        EXPECT_FALSE(fs::exists(made));
    }
}

// -q 8K or 127 asks the site for 8K, which it lists only when asked: a member gets it
// without switching 请求杜比视界和8K on.
TEST_F(DownloadCommandTest, NamingEightKAsksForIt) {
    ASSERT_TRUE(writeConfigItem(configPath(), "user", "cookie", devsite::kMemberCookie));
    const ProgramRun get =
        run({"get", devsite::kCodecsBvid, "-o", downloads().string(), "-q", "8K"});
    ASSERT_TRUE(writeConfigItem(configPath(), "user", "cookie", ""));
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_NE(get.out.find("8K 超高清"), std::string::npos) << get.out;
    EXPECT_EQ(findConfigItem(configPath(), "download", "ultraFormats"), std::nullopt);
}

TEST_F(DownloadCommandTest, GetExitStatusNamesWhatFailed) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* err;  // standard error begins with it
    };
    const Case cases[] = {
        {{"get", "BV1zzzzzzzzz"}, 3, "BV1zzzzzzzzz: 解析失败：视频不存在（-404）\n"},
        {{"get", kThreePartBvid, "-q", "4K"},
         1,
         "BV1Tr411c7Tp: "
         "这个质量需要大会员才可以下载哦，您还不是大会员或还没有登录哟，请先登录~\n"},
        {{"get", "av2", "-q", "8K"}, 1, "av2: the video offers no quality 8K (it offers 120"},
        {{"get", kOnePartBvid, "-p", "2"}, 1, "BV1xx411c7mD: has no part 2 (it has 1)\n"},
        {{"get", devsite::kFailingStreamsBvid}, 1, "01 唯一的一集: "},
    };
    // One automatic retry: what a retry mends is tried once more, what none mends is not.
    writeConfigItem(configPath(), "download", "retries", "1");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + c.args.back());
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", downloads().string()});
        const ProgramRun get = run(args);
        EXPECT_EQ(get.status, c.status) << get.err;
        EXPECT_EQ(get.err.rfind(c.err, 0), 0u) << get.err;
    }
    // Nothing refused ever reached the media server; the streams that answer 404 were
    // tried twice, each time with addresses asked anew.
    for (const auto& request : mediaRequests()) {
        EXPECT_NE(request.path.find(devsite::kFailingStreamsBvid), std::string::npos)
            << request.path;
    }
    std::size_t asked = 0;
    for (const auto& request : site().requestsTo("/x/player/playurl")) {
        asked += request.query.find(devsite::kFailingStreamsBvid) != std::string::npos;
    }
    EXPECT_EQ(asked, 3u);  // the parse, the try and its retry
}

// A get in another process shows in a list opened on the same downloads.db, as the window
// opens it, with its progress; that list's pause stops the part in the get.
TEST_F(DownloadCommandTest, AGetShowsInTheWindowsListAndObeysItsPause) {
    site().setBytesPerSecond(8 * 1024);
    StartedProgram get(program(), {"get", kOnePartBvid, "-o", downloads().string(), "--json"});
    ThreadPool idle;  // the window's list, running nothing itself
    DownloadQueue window(idle, test::programJob(),
                         DownloadStore::open((folder() / "downloads.db").string()).store);
    std::optional<DownloadItem> seen;
    for (int look = 0; look < 100 && !(seen && seen->bytesDone > 0); ++look) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::vector<DownloadItem> items = window.items();
        if (!items.empty()) seen = items.front();
    }
    ASSERT_TRUE(seen && seen->bytesDone > 0) << get.err();
    EXPECT_EQ(seen->request.bvid, kOnePartBvid);

    window.pause({seen->id});
    EXPECT_TRUE(get.waitForOutput(
        [&](const std::string& out) {
            for (const std::string& line : test::linesOf(out)) {
                const auto event = nlohmann::json::parse(line, nullptr, false);
                if (!event.is_object()) continue;
                if (event.value("id", 0LL) == seen->id && event.value("state", "") == "paused")
                    return true;
            }
            return false;
        },
        std::chrono::seconds(10)))
        << get.out();
    get.signal(SIGINT);
    EXPECT_EQ(get.finish(kLimit).status, 130) << get.err();
}

// Outside the settings' 下载时段 a get's part waits for the window's start, saying so; with
// --now the next get downloads it at once, and the stored window stays.
TEST_F(DownloadCommandTest, TheDownloadWindowHoldsAGetAndNowIgnoresItForTheRun) {
    const int later = static_cast<int>((systemLocalMinutes() + 120) % kMinutesPerDay);
    const std::string window =
        clockText(later) + "-" + clockText((later + 60) % kMinutesPerDay);  // not now
    ASSERT_TRUE(writeConfigItem(configPath(), "download", "downloadWindowOn", "1"));
    ASSERT_TRUE(writeConfigItem(configPath(), "download", "downloadWindow", window));

    StartedProgram held(program(), {"get", kOnePartBvid, "-o", downloads().string(), "--json"});
    const std::string waits = "\"text\":\"等待时段（" + clockText(later) + "开始）\"";
    EXPECT_TRUE(held.waitForOutput(
        [&](const std::string& out) { return out.find(waits) != std::string::npos; }, kLimit))
        << held.out();
    held.signal(SIGINT);
    EXPECT_EQ(held.finish(kLimit).status, 130) << held.err();
    const fs::path made = downloads() / "山间小路的清晨" / "01_山间小路的清晨.mp4";
    EXPECT_FALSE(fs::exists(made));

    const ProgramRun now = run({"get", kOnePartBvid, "-o", downloads().string(), "--now"});
    EXPECT_EQ(now.status, 0) << now.err;
    EXPECT_TRUE(fs::exists(made));
    EXPECT_EQ(readConfigItem(configPath(), "download", "downloadWindowOn"), "1");
}

// A file and standard input give the same list with the batch window's rules: any
// separators, each video once, the settings' default quality; the status is the first
// that applies, as with several addresses on the command line.
TEST_F(DownloadCommandTest, GetReadsOneListFromAFileOrStandardInputAtTheDefaultQuality) {
    const std::string addresses = std::string("av2, ") + kOnePartBvid + "\n\nBV1zzzzzzzzz；" +
                                  kOnePartBvid + "\t" + kThreePartBvid + "\n";
    const fs::path file = folder() / "addresses.txt";
    test::writeBytes(file.string(), addresses);
    const std::vector<std::vector<std::string>> forms = {{"get", "-i", file.string()},
                                                         {"get", "-"}};
    for (const std::vector<std::string>& form : forms) {
        SCOPED_TRACE(form[1]);
        for (const char* name : {"downloads.db", "downloads.db-wal", "downloads.db-shm"}) {
            fs::remove(folder() / name);
        }
        fs::remove_all(downloads());
        ASSERT_TRUE(writeConfigItem(configPath(), "download", "defaultVideoQuality", "480P"));
        site().clearRequests();
        std::vector<std::string> args = form;
        args.insert(args.end(), {"-o", downloads().string()});
        const ProgramRun get = run(args, form[1] == "-" ? addresses : "");
        EXPECT_EQ(get.status, 3) << get.err;
        EXPECT_EQ(get.err, "BV1zzzzzzzzz: 解析失败：视频不存在（-404）\n");
        std::vector<std::string> asked;
        for (const auto& request : site().requestsTo("/x/web-interface/view")) {
            asked.push_back(request.query);
        }
        EXPECT_EQ(asked, (std::vector<std::string>{"bvid=BV1xx411c7mD", "bvid=BV1zzzzzzzzz",
                                                   "bvid=BV1Tr411c7Tp"}));
        const nlohmann::json items = listed();
        ASSERT_EQ(items.size(), 4u);
        for (const auto& item : items) {
            EXPECT_EQ(item["state"], "done");
            EXPECT_EQ(item["quality"], 32);
        }
    }
}

TEST_F(DownloadCommandTest, InterruptedGetLeavesNoMp4AndTheNextGetAndResumeFinishByteExactly) {
    site().setBytesPerSecond(8 * 1024);
    // Without tags and cover the MP4 is the plain copy of the two streams.
    StartedProgram first(program(), {"get", kThreePartBvid, "-p", "1-2", "-o", downloads().string(),
                                     "--json", "--no-tags", "--no-cover"});
    ASSERT_TRUE(fetching(first, 2)) << first.out() << first.err();
    first.signal(SIGINT);
    EXPECT_EQ(first.finish(kLimit).status, 130) << first.err();
    EXPECT_TRUE(first.exited());
    EXPECT_TRUE(filesIn(threeParts()).empty());
    EXPECT_TRUE(fs::exists(downloads() / "temp" / "5101.mp4.aria2"));
    const nlohmann::json stopped = listed();
    ASSERT_EQ(stopped.size(), 2u);
    for (const auto& item : stopped) {
        EXPECT_EQ(item["state"], "paused");
        EXPECT_GT(item["bytesDone"], 0);
    }

    site().setBytesPerSecond(0);
    site().clearRequests();
    const ProgramRun again = run(
        {"get", kThreePartBvid, "-p", "1", "-o", downloads().string(), "--no-tags", "--no-cover"});
    ASSERT_EQ(again.status, 0) << again.err;
    // The video stream went on from where it stopped.
    std::int64_t resumedAt = 0;
    for (const auto& request : site().requestsTo("/media/" + media(kThreePartBvid, 5101, 80))) {
        const std::string range = request.header("Range");
        if (range.rfind("bytes=", 0) == 0)
            resumedAt = std::max<std::int64_t>(resumedAt, std::stoll(range.substr(6)));
    }
    EXPECT_GT(resumedAt, 0);
    EXPECT_LE(resumedAt, stopped[0]["bytesDone"].get<std::int64_t>());
    // The MP4 is the merge of the site's own streams, byte for byte.
    const fs::path reference = folder() / "reference.mp4";
    ASSERT_EQ(test::runProgram("/usr/bin/ffmpeg",
                               {"-loglevel", "error", "-y", "-i",
                                site().mediaPath(media(kThreePartBvid, 5101, 80)), "-i",
                                site().mediaPath(media(kThreePartBvid, 5101, 30280)), "-vcodec",
                                "copy", "-acodec", "copy", "-f", "mp4", reference.string()})
                  .status,
              0);
    EXPECT_EQ(test::readBytes((threeParts() / "01_第一段_出发.mp4").string()),
              test::readBytes(reference.string()));

    const ProgramRun resume = run({"resume"});
    ASSERT_EQ(resume.status, 0) << resume.err;
    EXPECT_EQ(streamsOf(threeParts() / "02_第二段_途中.mp4"),
              (std::vector<std::string>{kVideo, "audio"}));
    EXPECT_FALSE(fs::exists(threeParts() / "cover.jpg"));
    for (const auto& item : listed()) EXPECT_EQ(item["state"], "done");
}

TEST_F(DownloadCommandTest, TwoProgramsNeverRunOnePartAtOnce) {
    const std::string stream = media(kOnePartBvid, 3001, 80);
    const std::int64_t servedBefore = site().bytesServed(stream);
    site().setBytesPerSecond(8 * 1024);
    StartedProgram first(program(), {"get", kOnePartBvid, "-o", downloads().string(), "--json"});
    ASSERT_TRUE(fetching(first, 1)) << first.out() << first.err();
    // The second finds the part in the list as the first runs it, and follows its progress.
    StartedProgram second(program(), {"get", kOnePartBvid, "-o", downloads().string(), "--json"});
    EXPECT_TRUE(fetching(second, 1)) << second.out() << second.err();

    site().setBytesPerSecond(0);
    EXPECT_EQ(first.finish(kLimit).status, 0) << first.err();
    const ProgramRun waited = second.finish(kLimit);
    EXPECT_EQ(waited.status, 0) << waited.err;
    const auto last = nlohmann::json::parse(test::linesOf(waited.out).back(), nullptr, false);
    EXPECT_EQ(last.is_object() ? last.value("state", "") : "", "done") << waited.out;
    EXPECT_EQ(site().bytesServed(stream) - servedBefore,
              static_cast<std::int64_t>(fs::file_size(site().mediaPath(stream))));
    EXPECT_EQ(streamsOf(downloads() / "山间小路的清晨" / "01_山间小路的清晨.mp4"),
              (std::vector<std::string>{kVideo, "audio", kCover}));
}

}  // namespace
}  // namespace quivra

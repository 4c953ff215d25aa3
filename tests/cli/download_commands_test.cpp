// The real programs downloading on the command line: get, list and resume, against the
// local site, with the engine, the download list and ffmpeg of the windows.
#include <gtest/gtest.h>
#include <signal.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "devsite/dev_site.h"
#include "program_folder.h"
#include "support/started_program.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;
using devsite::kOnePartBvid;
using devsite::kThreePartBvid;
using test::ProgramRun;
using test::StartedProgram;

constexpr auto kLimit = std::chrono::seconds(120);

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

TEST_F(DownloadCommandTest, GetMakesEachPartAsTheWindowNamesItAndSkipsItTheNextTime) {
    const ProgramRun get = run({"get", kThreePartBvid, "-o", downloads().string()});
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(get.err, "");
    const std::vector<std::string> names = {"01_第一段_出发.mp4", "02_第二段_途中.mp4",
                                            "03_第三段_到达.mp4"};
    EXPECT_EQ(filesIn(threeParts()), names);
    for (const std::string& name : names) {
        // Without a login the best quality allowed is 1080P (80): 960x540.
        EXPECT_EQ(streamsOf(threeParts() / name),
                  (std::vector<std::string>{"video,960,540", "audio"}))
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
        EXPECT_EQ(items[i]["file"], (threeParts() / names[i]).string());
        EXPECT_EQ(items[i]["bytesDone"], fs::file_size(threeParts() / names[i]));
    }
    EXPECT_EQ(items[1]["name"], "第二段：途中");

    site().clearRequests();
    const ProgramRun again = run({"get", kThreePartBvid, "-o", downloads().string()});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(site().requestsTo("/media").empty());
    EXPECT_EQ(listed().size(), 3u);
}

TEST_F(DownloadCommandTest, GetTakesThePartsAndQualitiesAsked) {
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> made;  // the parts' files, with their video streams
    };
    const Case cases[] = {
        {{"-p", "1,3", "-q", "720P", "-a", "medium"},
         {"01_第一段_出发.mp4 video,768,432", "03_第三段_到达.mp4 video,768,432"}},
        {{"-p", "2-2", "-q", "32", "-a", "低"}, {"02_第二段_途中.mp4 video,512,288"}},
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
        const int audio = c.options.back() == "medium" ? 30232 : 30216;
        for (const auto& request : site().requestsTo("/media")) {
            EXPECT_NE(request.path.find(std::to_string(audio) + ".m4s"), std::string::npos)
                << request.path;
        }
    }
}

TEST_F(DownloadCommandTest, GetExitStatusNamesWhatFailed) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* err;  // standard error begins with it
    };
    const Case cases[] = {
        {{"get", "BV1zzzzzzzzz"}, 3, "解析失败：视频不存在（-404）\n"},
        {{"get", kThreePartBvid, "-q", "4K"},
         1,
         "这个质量需要大会员才可以下载哦，您还不是大会员或还没有登录哟，请先登录~\n"},
        {{"get", kThreePartBvid, "-q", "8K"}, 1, "the video offers no quality 8K (it offers 120"},
        {{"get", kOnePartBvid, "-p", "2"}, 1, "BV1xx411c7mD has no part 2 (it has 1)\n"},
        {{"get", devsite::kFailingStreamsBvid}, 1, "01 唯一的一集: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + c.args.back());
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", downloads().string()});
        const ProgramRun get = run(args);
        EXPECT_EQ(get.status, c.status) << get.err;
        EXPECT_EQ(get.err.rfind(c.err, 0), 0u) << get.err;
    }
    // Nothing refused ever reached the media server.
    for (const auto& request : site().requestsTo("/media")) {
        EXPECT_NE(request.path.find(devsite::kFailingStreamsBvid), std::string::npos);
    }
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
        EXPECT_EQ(get.err, "解析失败：视频不存在（-404）\n");
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
    StartedProgram first(
        program(), {"get", kThreePartBvid, "-p", "1-2", "-o", downloads().string(), "--json"});
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
    const ProgramRun again = run({"get", kThreePartBvid, "-p", "1", "-o", downloads().string()});
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
              (std::vector<std::string>{"video,960,540", "audio"}));
    for (const auto& item : listed()) EXPECT_EQ(item["state"], "done");
}

TEST_F(DownloadCommandTest, TwoProgramsNeverRunOnePartAtOnce) {
    const std::string stream = media(kOnePartBvid, 3001, 80);
    const std::int64_t servedBefore = site().bytesServed(stream);
    site().setBytesPerSecond(8 * 1024);
    StartedProgram first(program(), {"get", kOnePartBvid, "-o", downloads().string(), "--json"});
    ASSERT_TRUE(fetching(first, 1)) << first.out() << first.err();
    StartedProgram second(program(), {"get", kOnePartBvid, "-o", downloads().string()});
    EXPECT_TRUE(second.waitForOutput(
        [](const std::string& out) {
            return out.find("01 山间小路的清晨: 此分P正由另一个程序下载，等待中\n") !=
                   std::string::npos;
        },
        kLimit))
        << second.out() << second.err();

    site().setBytesPerSecond(0);
    EXPECT_EQ(first.finish(kLimit).status, 0) << first.err();
    const ProgramRun waited = second.finish(kLimit);
    EXPECT_EQ(waited.status, 0) << waited.err;
    EXPECT_EQ(test::linesOf(waited.out).back(), "01 山间小路的清晨: 下载完成");
    EXPECT_EQ(site().bytesServed(stream) - servedBefore,
              static_cast<std::int64_t>(fs::file_size(site().mediaPath(stream))));
    EXPECT_EQ(streamsOf(downloads() / "山间小路的清晨" / "01_山间小路的清晨.mp4"),
              (std::vector<std::string>{"video,960,540", "audio"}));
}

}  // namespace
}  // namespace quivra

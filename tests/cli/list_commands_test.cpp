// The real programs with the address of a list: info lists its videos, get downloads those
// chosen into the list's folder, against the local site's lists.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "devsite/dev_site.h"
#include "program_folder.h"
#include "support/temp_folder.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;
using devsite::uploaderBvid;
using test::linesOf;
using test::ProgramRun;

class ListCommandTest : public test::ProgramFolderSuite {
  protected:
    void SetUp() override {
        ProgramFolderSuite::SetUp();
        site().refuseListRequests(0, 0);
        for (const char* file : {"downloads.db", "downloads.db-wal", "downloads.db-shm"}) {
            fs::remove(folder() / file);
        }
        fs::remove_all(downloads());
    }
    void TearDown() override {
        site().refuseListRequests(0, 0);
        ::unsetenv("QUIVRA_LIST_WAITS_MS");
    }

    static fs::path downloads() { return folder() / "downloads"; }
    // The series of 25 videos: uploader videos 300 to 324, newest first.
    static std::string series() {
        return site().baseUrl() + "/" + devsite::kUploaderMid + "/lists/" + devsite::kSeriesId +
               "?type=series";
    }
    static std::string seriesBvid(int position) { return uploaderBvid(299 + position); }

    static ProgramRun get(std::vector<std::string> args) {
        args.insert(args.begin(), {"get", series(), "-o", downloads().string(), "--json"});
        return run(args);
    }

    // The download list's items: bvid to the file of its part.
    static std::map<std::string, fs::path> listedFiles() {
        const ProgramRun list = run({"list", "--json"});
        EXPECT_EQ(list.status, 0) << list.err;
        std::map<std::string, fs::path> files;
        for (const auto& item : nlohmann::json::parse(list.out, nullptr, false)) {
            files[item["bvid"]] = item["file"].get<std::string>();
        }
        return files;
    }
};

TEST_F(ListCommandTest, InfoWritesTheListAndALinePerVideo) {
    const ProgramRun text = run({"info", "ml" + std::string(devsite::kFavouritesId)});
    ASSERT_EQ(text.status, 0) << text.err;
    const std::vector<std::string> lines = linesOf(text.out);
    ASSERT_EQ(lines.size(), 3u + 25u) << text.out;
    EXPECT_EQ(lines[0], "收藏夹 · 周末做点小东西");
    EXPECT_EQ(lines[2], "count: 25");
    EXPECT_EQ(lines[3].substr(0, 4), " 1  ");
    EXPECT_NE(lines[3].find(devsite::kTwelvePartBvid), std::string::npos) << lines[3];
    // The removed video is listed with its reason.
    EXPECT_NE(lines[3 + 6].find("(已失效视频)"), std::string::npos) << lines[3 + 6];

    const ProgramRun json = run({"info", "--json", series()});
    ASSERT_EQ(json.status, 0) << json.err;
    const std::vector<std::string> objects = linesOf(json.out);
    ASSERT_EQ(objects.size(), 25u);
    for (size_t i = 0; i < objects.size(); ++i) {
        const auto video = nlohmann::json::parse(objects[i], nullptr, false);
        EXPECT_EQ(video["number"], i + 1);
        EXPECT_EQ(video["bvid"], seriesBvid(static_cast<int>(i) + 1));
        EXPECT_EQ(video["date"].get<std::string>().size(), 10u);
        EXPECT_EQ(video["unavailable"], "");
    }
}

// Each filter picks its videos, every one into the series' folder; the dates are those
// info shows.
TEST_F(ListCommandTest, GetTakesTheVideosTheFiltersChoose) {
    const ProgramRun info = run({"info", "--json", series()});
    ASSERT_EQ(info.status, 0) << info.err;
    std::vector<std::string> dates;
    for (const std::string& line : linesOf(info.out)) {
        dates.push_back(nlohmann::json::parse(line)["date"]);
    }
    ASSERT_EQ(dates.size(), 25u);
    std::set<std::string> inDays;  // newest first: positions 10 and 11 are the window's ends
    for (size_t i = 0; i < dates.size(); ++i) {
        if (dates[i] >= dates[10] && dates[i] <= dates[9]) inDays.insert(seriesBvid(i + 1));
    }

    struct Case {
        std::vector<std::string> args;
        std::set<std::string> bvids;
    };
    const Case cases[] = {
        {{"--items", "2,4"}, {seriesBvid(2), seriesBvid(4)}},
        {{"--match", "No.305 "}, {seriesBvid(5)}},
        {{"--since", dates[10], "--until", dates[9]}, inDays},
        {{"--items", "1-3", "--match", "No.31"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args[1]);
        fs::remove_all(downloads());
        fs::remove(folder() / "downloads.db");
        const ProgramRun got = get(c.args);
        ASSERT_EQ(got.status, 0) << got.err;
        std::set<std::string> bvids;
        for (const auto& [bvid, file] : listedFiles()) {
            bvids.insert(bvid);
            EXPECT_TRUE(fs::is_regular_file(file)) << file;
            EXPECT_EQ(file.parent_path().parent_path().parent_path(), downloads()) << file;
            EXPECT_NE(file.parent_path().parent_path().filename().string().find("系列"),
                      std::string::npos)
                << file;
        }
        EXPECT_EQ(bvids, c.bvids);
    }
}

// A season is one folder of its chosen episodes, NN the episode's number; an episode for
// members only is named, skipped, and fails the run that asked for it by its position.
TEST_F(ListCommandTest, GetOfASeasonMakesTheChosenEpisodesInOneFolder) {
    const ProgramRun got = run({"get", "ss" + std::string(devsite::kSeasonId), "--items", "2,11",
                                "-o", downloads().string()});
    ASSERT_EQ(got.status, 1) << got.err;
    const std::map<std::string, fs::path> files = listedFiles();
    ASSERT_EQ(files.size(), 1u);
    const fs::path& episode = files.begin()->second;
    EXPECT_EQ(episode.filename(), "02_山雨.mp4");
    EXPECT_EQ(episode.parent_path().parent_path(), downloads());
    EXPECT_TRUE(fs::is_regular_file(episode));
    EXPECT_NE(got.err.find("ss" + std::string(devsite::kSeasonId) + ": 11 远方: "),
              std::string::npos)
        << got.err;
}

// A season's episodes are written as episodes, and the season once as the show.
TEST_F(ListCommandTest, NfoOfASeasonWritesTheShowAndItsEpisodes) {
    const ProgramRun got = run({"get", "ss" + std::string(devsite::kSeasonId), "--items", "1-2",
                                "-o", downloads().string(), "--nfo"});
    ASSERT_EQ(got.status, 0) << got.err;
    const fs::path folder = listedFiles().begin()->second.parent_path();
    const std::string show = test::readBytes((folder / "tvshow.nfo").string());
    for (const char* element : {"<tvshow>", "<title>山海之间 第一季</title>", ">ss60001</uniqueid>",
                                "<plot>十二段路，十二个人：一部关于远行与归来的小品。</plot>",
                                "<thumb>cover.jpg</thumb>"}) {
        EXPECT_NE(show.find(element), std::string::npos) << element << "\n" << show;
    }
    const std::pair<const char*, const char*> episodes[] = {{"01_启程.nfo", "1"},
                                                            {"02_山雨.nfo", "2"}};
    for (const auto& [name, number] : episodes) {
        const std::string nfo = test::readBytes((folder / name).string());
        EXPECT_NE(nfo.find("<episodedetails>"), std::string::npos) << name << "\n" << nfo;
        EXPECT_NE(nfo.find(std::string("<episode>") + number + "</episode>"), std::string::npos)
            << name << "\n"
            << nfo;
    }
}

// What is done is skipped: the file being there, or the download list having finished it
// even when the file has moved away since.
TEST_F(ListCommandTest, ASecondGetFetchesNothingItHasDone) {
    ASSERT_EQ(get({"--items", "2,4"}).status, 0);
    const std::map<std::string, fs::path> files = listedFiles();
    ASSERT_EQ(files.size(), 2u);
    const fs::path listFolder = files.begin()->second.parent_path().parent_path();

    for (const bool moved : {false, true}) {
        SCOPED_TRACE(moved ? "moved away" : "in place");
        if (moved) fs::rename(listFolder, folder() / "kept");
        site().clearRequests();
        const ProgramRun again = get({"--items", "2,4"});
        ASSERT_EQ(again.status, 0) << again.err;
        EXPECT_TRUE(mediaRequests().empty());
        std::set<std::string> done;
        for (const std::string& line : linesOf(again.out)) {
            const auto event = nlohmann::json::parse(line, nullptr, false);
            if (event.value("state", "") == "done") done.insert(event.value("bvid", ""));
        }
        EXPECT_EQ(done, (std::set<std::string>{seriesBvid(2), seriesBvid(4)})) << again.out;
        EXPECT_EQ(listedFiles(), files);
        for (const auto& [bvid, file] : files) EXPECT_EQ(fs::exists(file), !moved) << file;
    }
    fs::remove_all(folder() / "kept");
}

TEST_F(ListCommandTest, AListingRefusedToTheEndFailsWithTheReason) {
    ::setenv("QUIVRA_LIST_WAITS_MS", "50,50", 1);
    site().refuseListRequests(1, -412);
    for (const std::string command : {"info", "get"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> args = {command, series()};
        if (command == "get") args.insert(args.end(), {"-o", downloads().string()});
        const ProgramRun refused = run(args);
        EXPECT_EQ(refused.status, 1) << refused.err;
        EXPECT_NE(refused.err.find("请求过于频繁"), std::string::npos) << refused.err;
        EXPECT_TRUE(mediaRequests().empty());
    }
    EXPECT_FALSE(fs::exists(downloads()));
}

TEST_F(ListCommandTest, AListAddressWithAnIdThatIsNoNumberNamesNoList) {
    for (const std::string command : {"info", "get"}) {
        SCOPED_TRACE(command);
        const ProgramRun bad = run({command, "ml12x"});
        EXPECT_EQ(bad.status, 3) << bad.err;
        EXPECT_NE(bad.err.find("12x"), std::string::npos) << bad.err;
    }
    EXPECT_TRUE(site().requests().empty());
}

}  // namespace
}  // namespace quivra

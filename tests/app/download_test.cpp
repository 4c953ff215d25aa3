// Downloads through the real main window: the buttons, the jobs on the thread pool, the
// real engine against the local site, and the real ffmpeg.
#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include "base/config_file.h"
#include "download/engine/download_engine.h"
#include "download/job/command_runner.h"
#include "download/job/download_job.h"
#include "download/job/merge_command.h"
#include "download/list/download_queue.h"
#include "download/plan/part_names.h"
#include "download/thread_pool.h"
#include "main_window_fixture.h"
#include "support/processes.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;
using devsite::kFailingStreamsBvid;
using devsite::kOnePartBvid;
using devsite::kTwelvePartBvid;

struct StreamCounts {
    int video = 0;
    int audio = 0;
    std::set<std::string> frameSizes;
};

StreamCounts probe(const fs::path& file) {
    StreamCounts counts;
    std::string rest = runCommand(
        "ffprobe -v error -show_entries "
        "stream=codec_type,width,height:stream_disposition=attached_pic -of csv=p=0 " +
        shellQuote(file.string()));
    // The cover picture (attached_pic 1) is no stream of the part.
    const std::regex line(R"((video|audio)(?:,(\d+),(\d+))?,0)");
    std::smatch match;
    while (std::regex_search(rest, match, line)) {
        if (match[1] == "video") {
            ++counts.video;
            counts.frameSizes.insert(match[2].str() + "x" + match[3].str());
        } else {
            ++counts.audio;
        }
        rest = match.suffix();
    }
    return counts;
}

std::string media(const char* bvid, int cid, int streamId) {
    return std::string(bvid) + "-" + std::to_string(cid) + "-" + std::to_string(streamId) + ".m4s";
}

class DownloadWindowTest : public DownloadingWindowTest {
  protected:
    void SetUp() override {
        DownloadingWindowTest::SetUp();
        static int round = 0;
        directory_ = folder() / ("downloads-" + std::to_string(++round));
        useDirectory(directory_);
        site().clearFaults();
        site().setBytesPerSecond(0);
    }

    void TearDown() override {
        // Jobs of a failed test must not run into the next one, nor its automatic retries.
        std::vector<std::int64_t> waiting;
        for (const DownloadItem& item : core_->queue->items()) {
            if (item.state == ItemState::Waiting) waiting.push_back(item.id);
        }
        core_->queue->pause(waiting);
        EXPECT_TRUE(QTest::qWaitFor([] { return threadPool().isIdle(); }, 60000));
        MainWindowTest::TearDown();
    }

    static void useDirectory(const fs::path& directory) {
        sharedState().download.update(
            [&](DownloadSettings& s) { s.directory = utf8ToLocalText(directory.string()); });
    }

    // Picks the combo item with this item data as a user would.
    void chooseVideoQuality(int quality) {
        QComboBox* box = window_->videoQualityBox();
        const int index = box->findData(quality);
        ASSERT_GE(index, 0) << quality;
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    QString state(int row) const {
        return window_->list()->topLevelItem(row)->text(MainWindow::StateColumn);
    }

    bool waitForStates(const std::function<bool(const QString&)>& done, int timeoutMs) {
        return QTest::qWaitFor(
            [&] {
                for (int row = 0; row < window_->list()->topLevelItemCount(); ++row) {
                    if (!done(state(row))) return false;
                }
                return true;
            },
            timeoutMs);
    }

    fs::path videoFolder() const {
        return directory_ / localToUtf8(sharedState().video.get().title);
    }

    std::vector<std::string> outputNames() const {
        std::vector<std::string> names;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(videoFolder(), ignored)) {
            if (entry.path().filename() != "cover.jpg") {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    void parseAndChoose(const char* bvid, int quality) {
        ASSERT_TRUE(parse(bvid));
        ASSERT_GT(window_->list()->topLevelItemCount(), 0);
        chooseVideoQuality(quality);
    }

    fs::path directory_;
};

TEST_F(DownloadWindowTest, DownloadAllWithThreeThreadsMakesEveryPart) {
    std::map<std::string, std::int64_t> servedBefore;
    for (int cid = 62001; cid <= 62012; ++cid) {
        for (int stream : {30232, 30280}) {
            const std::string name = media(kTwelvePartBvid, cid, stream);
            servedBefore[name] = site().bytesServed(name);
        }
    }
    parseAndChoose(kTwelvePartBvid, 64);
    window_->audioQualityBox()->setCurrentIndex(1);  // "中", 30232
    QTest::mouseClick(window_->findChild<QPushButton*>("按钮_downloadAll"), Qt::LeftButton);
    ASSERT_TRUE(waitForStates([](const QString& s) { return s == "下载完成"; }, 120000));

    const std::vector<std::string> names = outputNames();
    ASSERT_EQ(names.size(), 12u);
    EXPECT_TRUE(fs::exists(videoFolder() / "cover.jpg"));  // 保存封面 is on by default
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string number = rowNumberText(static_cast<int>(i)) + "_";
        EXPECT_EQ(names[i].rfind(number, 0), 0u) << names[i];
        EXPECT_EQ(fs::path(names[i]).extension(), ".mp4");
        const StreamCounts counts = probe(videoFolder() / names[i]);
        EXPECT_EQ(counts.video, 1) << names[i];
        EXPECT_EQ(counts.audio, 1) << names[i];
        EXPECT_EQ(counts.frameSizes, std::set<std::string>{"768x432"}) << names[i];
    }
    EXPECT_TRUE(fs::is_empty(directory_ / "temp"));
    // The chosen audio quality was fetched, once per part, and no other.
    for (int cid = 62001; cid <= 62012; ++cid) {
        const std::string chosen = media(kTwelvePartBvid, cid, 30232);
        const std::string other = media(kTwelvePartBvid, cid, 30280);
        EXPECT_EQ(site().bytesServed(chosen) - servedBefore[chosen],
                  static_cast<std::int64_t>(fs::file_size(site().mediaPath(chosen))));
        EXPECT_EQ(site().bytesServed(other), servedBefore[other]);
    }
}

// A title that is no folder name as it stands (empty: the BV identifier; past 255 bytes:
// cut) still brings its part's state into the row.
TEST_F(DownloadWindowTest, RowShowsItsPartWhateverTheTitleMakesOfTheFolder) {
    const std::string titles[] = {"", std::string(300, 'a')};
    for (const std::string& title : titles) {
        SCOPED_TRACE(title.size());
        site().overrideAnswer(
            "/x/web-interface/view", 200,
            std::string(R"({"code":0,"data":{"bvid":")") + kOnePartBvid +
                R"(","videos":1,"title":")" + title +
                R"(","cid":3001,"pages":[{"cid":3001,"page":1,"part":"晨","duration":5}]}})",
            "application/json");
        parseAndChoose(kOnePartBvid, 64);
        site().clearOverrides();
        QTest::mouseClick(window_->findChild<QPushButton*>("按钮_downloadAll"), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return state(0) == "下载完成"; }, 30000))
            << state(0).toStdString();
        useDirectory(directory_ / "again");  // the next title starts anew
    }
}

TEST_F(DownloadWindowTest, DownloadSelectedTakesOnlyTheCheckedRows) {
    parseAndChoose(kTwelvePartBvid, 32);
    window_->list()->topLevelItem(1)->setCheckState(MainWindow::NumberColumn, Qt::Checked);
    window_->list()->topLevelItem(3)->setCheckState(MainWindow::NumberColumn, Qt::Checked);
    QTest::mouseClick(window_->findChild<QPushButton*>("按钮_downloadSelected"), Qt::LeftButton);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return state(1) == "下载完成" && state(3) == "下载完成"; }, 60000));
    QTest::qWait(1500);
    for (int row = 0; row < 12; ++row) {
        if (row != 1 && row != 3) {
            EXPECT_TRUE(state(row).isEmpty()) << row;
        }
    }
    const std::vector<std::string> names = outputNames();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].rfind("02_", 0), 0u);
    EXPECT_EQ(names[1].rfind("04_", 0), 0u);
    EXPECT_EQ(probe(videoFolder() / names[0]).frameSizes, std::set<std::string>{"512x288"});
}

TEST_F(DownloadWindowTest, StartIsRefusedWithItsMessages) {
    auto* all = window_->findChild<QPushButton*>("按钮_downloadAll");
    QTest::mouseClick(all, Qt::LeftButton);
    ASSERT_TRUE(parse(kOnePartBvid));
    QTest::mouseClick(all, Qt::LeftButton);

    // A member quality chosen without membership: refused, nothing stays selected.
    chooseVideoQuality(116);
    EXPECT_EQ(window_->videoQualityBox()->currentIndex(), -1);
    QTest::mouseClick(all, Qt::LeftButton);

    chooseVideoQuality(80);
    EXPECT_EQ(window_->videoQualityBox()->currentIndex(), window_->videoQualityBox()->findData(80));
    // The download folder is a file: the video's folder cannot be made.
    fs::create_directories(directory_.parent_path());
    std::ofstream(directory_) << "a file";
    QTest::mouseClick(all, Qt::LeftButton);
    fs::remove(directory_);
    // The temporary folder is a file.
    fs::create_directories(directory_);
    std::ofstream(directory_ / "temp") << "a file";
    QTest::mouseClick(all, Qt::LeftButton);

    EXPECT_EQ(messages_.texts(),
              (std::vector<std::string>{
                  "请先解析视频！", "请选择视频清晰度！",
                  "这个质量需要大会员才可以下载哦，您还不是大会员或还没有登录哟，请先登录~",
                  "请选择视频清晰度！", "目录创建失败！", "临时目录创建失败！"}));
    EXPECT_TRUE(state(0).isEmpty());
    EXPECT_TRUE(mediaRequests().empty());
}

TEST_F(DownloadWindowTest, MissingStreamsShowTheEngineError) {
    parseAndChoose(kFailingStreamsBvid, 64);
    QTest::mouseClick(window_->findChild<QPushButton*>("按钮_downloadAll"), Qt::LeftButton);
    const QString error = QString::fromStdString(localToUtf8(DownloadEngine::errorText(16)));
    ASSERT_TRUE(waitForStates([&](const QString& s) { return s == error; }, 30000));
    EXPECT_TRUE(outputNames().empty());
}

// A second press while the row still downloads starts no second job for it.
TEST_F(DownloadWindowTest, SecondPressLeavesRunningRowsAlone) {
    parseAndChoose(kOnePartBvid, 64);
    const std::string video = media(kOnePartBvid, 3001, 64);
    const auto size = static_cast<std::int64_t>(fs::file_size(site().mediaPath(video)));
    const std::int64_t before = site().bytesServed(video);
    site().setBytesPerSecond(std::max<std::int64_t>(size / 4, 4096));
    auto* all = window_->findChild<QPushButton*>("按钮_downloadAll");
    QTest::mouseClick(all, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state(0).isEmpty(); }, 10000));
    ASSERT_NE(state(0), "下载完成");
    QTest::mouseClick(all, Qt::LeftButton);
    QTest::mouseClick(window_->findChild<QPushButton*>("按钮_downloadSelected"), Qt::LeftButton);
    window_->list()->topLevelItem(0)->setCheckState(MainWindow::NumberColumn, Qt::Checked);
    QTest::mouseClick(window_->findChild<QPushButton*>("按钮_downloadSelected"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return state(0) == "下载完成"; }, 30000));
    QTest::qWait(500);
    EXPECT_EQ(site().bytesServed(video) - before, size);
    EXPECT_EQ(site().requestsTo("/x/player/playurl").size(), 2u);  // the parse and one job
    EXPECT_EQ(outputNames().size(), 1u);
}

// The file decides whether a part is done: a row reading 下载完成 is left alone, but once
// the row shows nothing a part whose MP4 went is made again.
TEST_F(DownloadWindowTest, APartWhoseMp4WentIsMadeAgain) {
    parseAndChoose(kOnePartBvid, 16);
    auto* all = window_->findChild<QPushButton*>("按钮_downloadAll");
    QTest::mouseClick(all, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return state(0) == "下载完成"; }, 30000));
    const fs::path made = videoFolder() / outputNames().at(0);
    fs::remove(made);

    QTest::mouseClick(all, Qt::LeftButton);
    QTest::qWait(500);
    EXPECT_FALSE(fs::exists(made));
    EXPECT_TRUE(threadPool().isIdle());

    parseAndChoose(kOnePartBvid, 16);
    QTest::mouseClick(all, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return state(0) == "下载完成"; }, 30000))
        << state(0).toStdString();
    EXPECT_EQ(probe(made).video, 1);
}

// Without ffmpeg the row says so and keeps its streams; with ffmpeg back, a press finishes.
TEST_F(DownloadWindowTest, MergeWithoutFfmpegFailsVisiblyAndALaterPressFinishes) {
    parseAndChoose(kOnePartBvid, 16);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    const fs::path empty = folder() / "no-tools";
    fs::create_directories(empty);
    ::setenv("PATH", empty.c_str(), 1);
    auto* all = window_->findChild<QPushButton*>("按钮_downloadAll");
    QTest::mouseClick(all, Qt::LeftButton);
    const bool failed = QTest::qWaitFor([&] { return state(0) == "音视频合成失败"; }, 30000);
    ::setenv("PATH", path.c_str(), 1);
    ASSERT_TRUE(failed) << state(0).toStdString();
    EXPECT_TRUE(outputNames().empty());
    EXPECT_TRUE(isCompleteDownload((directory_ / "temp" / "3001.mp4").string()));
    EXPECT_TRUE(isCompleteDownload((directory_ / "temp" / "3001.mp3").string()));

    ASSERT_TRUE(QTest::qWaitFor([] { return threadPool().isIdle(); }, 5000));
    const size_t mediaBefore = mediaRequests().size();
    QTest::mouseClick(all, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return state(0) == "下载完成"; }, 30000));
    EXPECT_EQ(mediaRequests().size(), mediaBefore);
    EXPECT_EQ(probe(videoFolder() / outputNames().at(0)).frameSizes,
              std::set<std::string>{"256x144"});
    EXPECT_TRUE(fs::is_empty(directory_ / "temp"));
}

// The download folder comes from config.ini with a blank and a ';' in it.
TEST_F(DownloadWindowTest, FolderWithBlankAndSemicolonFromConfig) {
    const fs::path odd = folder() / "my videos;echo x";
    ASSERT_TRUE(writeConfigItem(sharedState().configPath, "download", "directory",
                                utf8ToLocalText(odd.string())));
    sharedState().download.set(loadDownloadSettings(sharedState().configPath,
                                                    sharedState().programDirectory + "/download"));
    directory_ = odd;
    parseAndChoose(kOnePartBvid, 64);
    QTest::mouseClick(window_->findChild<QPushButton*>("按钮_downloadAll"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return state(0) == "下载完成"; }, 30000));
    const std::vector<std::string> names = outputNames();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(probe(videoFolder() / names[0]).video, 1);
}

// Parsing another video while the first one's parts are queued and running: every job
// keeps to the part it was given, the new rows start at once, and no row shows another
// video's state.
TEST_F(DownloadWindowTest, ParseWhileDownloadingKeepsEveryJobToItsPart) {
    parseAndChoose(kTwelvePartBvid, 32);
    const fs::path firstFolder = videoFolder();
    const std::string firstVideo = media(kTwelvePartBvid, 62001, 32);
    site().setBytesPerSecond(
        std::max<std::int64_t>(fs::file_size(site().mediaPath(firstVideo)) / 8, 4096));
    for (int row = 0; row < 4; ++row) {  // three run, the fourth waits for a worker
        window_->list()->topLevelItem(row)->setCheckState(MainWindow::NumberColumn, Qt::Checked);
    }
    QTest::mouseClick(window_->findChild<QPushButton*>("按钮_downloadSelected"), Qt::LeftButton);
    ASSERT_NE(state(0), "下载完成");

    parseAndChoose(kOnePartBvid, 64);
    QStringList seen;
    QObject::connect(window_->list()->model(), &QAbstractItemModel::dataChanged,
                     [&] { seen << state(0); });
    QTest::mouseClick(window_->findChild<QPushButton*>("按钮_downloadAll"), Qt::LeftButton);
    site().setBytesPerSecond(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return state(0) == "下载完成"; }, 60000));
    EXPECT_EQ(outputNames().size(), 1u);
    EXPECT_TRUE(seen.contains("正在解析")) << seen.join(",").toStdString();

    ASSERT_TRUE(QTest::qWaitFor([] { return threadPool().isIdle(); }, 60000));
    std::vector<std::string> firstNames;
    for (const auto& entry : fs::directory_iterator(firstFolder)) {
        if (entry.path().extension() == ".mp4") {
            firstNames.push_back(entry.path().filename().string());
        }
    }
    std::sort(firstNames.begin(), firstNames.end());
    ASSERT_EQ(firstNames.size(), 4u);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(firstNames[row].rfind(rowNumberText(row) + "_", 0), 0u) << firstNames[row];
        EXPECT_EQ(probe(firstFolder / firstNames[row]).frameSizes,
                  std::set<std::string>{"512x288"});
    }
    EXPECT_EQ(state(0), "下载完成");
}

// Closing the window while a merge runs ends the program with 0 and the merge with it.
TEST_F(DownloadWindowTest, ClosingDuringAMergeEndsTheMerge) {
    const fs::path tools = folder() / "slow-tools";
    const fs::path pidFile = folder() / "merge.pid";
    fs::create_directories(tools);
    std::error_code ignored;
    fs::remove(pidFile, ignored);
    // ffmpeg found first through PATH: notes its pid, waits, then runs the real one.
    {
        std::ofstream script(tools / "ffmpeg");
        script << "#!/bin/sh\necho $$ > " << shellQuote(pidFile.string())
               << "\nsleep 30\nexec /usr/bin/ffmpeg \"$@\"\n";
    }
    fs::permissions(tools / "ffmpeg", fs::perms::owner_all);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin";
            ::setenv("PATH", (tools.string() + ":" + path).c_str(), 1);
            if (!parse(kOnePartBvid)) std::_Exit(4);
            chooseVideoQuality(64);
            QTest::mouseClick(window_->findChild<QPushButton*>("按钮_downloadAll"), Qt::LeftButton);
            if (!QTest::qWaitFor([&] { return fs::exists(pidFile) && fs::file_size(pidFile) > 0; },
                                 30000)) {
                std::_Exit(5);
            }
            window_->close();
            std::_Exit(3);  // not reached when closing ends the program
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(test::processInFileEnds(
        pidFile, [](auto ended, int ms) { return QTest::qWaitFor(ended, ms); }));
}

}  // namespace
}  // namespace quivra

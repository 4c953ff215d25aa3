// The local site, the real engine and a download folder of their own, for the tests of
// the download job and the download queue; parts are bound as the buttons bind them.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "base/shared_state.h"
#include "devsite/dev_site.h"
#include "download/engine/download_engine.h"
#include "download/job/command_runner.h"
#include "download/job/download_job.h"
#include "download/job/merge_command.h"
#include "download/plan/file_template.h"
#include "download/plan/part_names.h"
#include "net/text_encoding.h"
#include "support/local_site.h"

namespace quivra::test {

namespace fs = std::filesystem;

constexpr const char* kOnePartCid = "3001";
constexpr const char* kVideoTitle = "Job";

// What a job reported, kept in order (UTF-8): stage and progress texts alike.
class RecordingReport : public JobReport {
  public:
    void stage(const std::string& text) override { record(text); }
    void progress(std::int64_t, std::int64_t, std::int64_t, const std::string& text) override {
        record(text);
    }
    void codecTaken(VideoCodec codec) override { codecId_ = static_cast<int>(codec); }
    void mergeStarted() override { ++merges_; }
    bool stopRequested() override { return false; }

    std::vector<std::string> history() const {
        std::lock_guard lock(mutex_);
        return history_;
    }
    std::string last() const {
        std::lock_guard lock(mutex_);
        return history_.empty() ? "" : history_.back();
    }
    std::atomic<int> merges_{0};
    std::atomic<int> codecId_{0};  // the codecid taken; 0 none

  private:
    void record(const std::string& text) {
        std::lock_guard lock(mutex_);
        history_.push_back(localToUtf8(text));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> history_;
};

struct StreamCounts {
    int video = 0;
    int audio = 0;
    std::string frameSize;  // "WIDTHxHEIGHT" of the video stream
};

// What ffprobe reads from a file.
inline StreamCounts probe(const fs::path& file) {
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

// The codec name ffprobe gives the first video stream ("h264", "hevc", "av1").
inline std::string videoCodecOf(const fs::path& file) {
    std::string out = runCommand(
        "ffprobe -v error -select_streams v:0 -show_entries "
        "stream=codec_name -of csv=p=0 " +
        shellQuote(file.string()));
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

inline bool isProgressText(const std::string& text) {
    static const std::regex pattern(R"(\d+(\.\d{1,2})?MB/\d+(\.\d{1,2})?MB)");
    return std::regex_match(text, pattern);
}

// Whether the wanted texts appear in this order (others may lie between them).
inline bool appearInOrder(const std::vector<std::string>& history,
                          const std::vector<std::string>& wanted) {
    size_t next = 0;
    for (const std::string& text : history) {
        if (next < wanted.size() && text == wanted[next]) ++next;
    }
    return next == wanted.size();
}

inline std::string mediaName(const std::string& cid, int streamId) {
    return std::string(devsite::kOnePartBvid) + "-" + cid + "-" + std::to_string(streamId) + ".m4s";
}

// Polls until the condition holds or the time is up; returns whether it held.
inline bool waitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class JobSiteTest : public LocalSiteSuite {
  protected:
    static void SetUpTestSuite() {
        // A death test's child process runs the suite again: it shares the folder.
        if (std::getenv("QUIVRA_JOB_TEST_FOLDER") == nullptr) {
            ::setenv("QUIVRA_JOB_TEST_FOLDER", processFolder("quivra-job-test").c_str(), 1);
        }
        ASSERT_NO_FATAL_FAILURE(startSite(std::getenv("QUIVRA_JOB_TEST_FOLDER")));
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
        timings_ = {std::chrono::milliseconds(100), std::chrono::seconds(90)};
    }

    // The job as the core hands it out, on the local site with this test's timings.
    JobContext jobContext() const { return {downloadEngine(), site().baseUrl(), timings_}; }
    JobResult runJob(const DownloadRequest& request, JobReport& report) const {
        return runDownloadJob(jobContext(), request, report);
    }
    DownloadJob job() const { return downloadJobWith(jobContext()); }

    // Downloads go to this folder, with its temporary and video folders made.
    void useDirectory(const fs::path& directory) {
        directory_ = directory;
        fs::create_directories(directory_ / "temp");
        fs::create_directories(directory_ / kVideoTitle);
        DownloadSettings settings = defaultDownloadSettings();
        settings.directory = directory_.string();
        settings.threadNumber = 3;
        sharedState().download.set(settings);
    }

    fs::path temp(const std::string& name) const { return directory_ / "temp" / name; }
    fs::path output(const std::string& name) const { return directory_ / kVideoTitle / name; }
    size_t mediaRequests() const {
        size_t count = 0;
        for (const auto& request : site().requests()) count += request.path.starts_with("/media/");
        return count;
    }

    // Row `row` of the one-part video (or another cid) bound as the buttons bind it.
    DownloadRequest part(const std::string& titleUtf8, const std::string& cid = kOnePartCid,
                         int row = 0) const {
        DownloadRequest request;
        request.bvid = devsite::kOnePartBvid;
        request.videoTitle = kVideoTitle;
        request.cid = cid;
        request.pageTitle = utf8ToLocalText(titleUtf8);
        request.pageNumber = row + 1;
        request.videoQuality = 64;
        request.audioQuality = 30280;
        request.directory = directory_.string();
        TemplateFields fields;
        fields.videoTitle = kVideoTitle;
        fields.pageTitle = request.pageTitle;
        fields.pageNumber = request.pageNumber;
        request.outputPath =
            request.directory + "/" + templatedPath(kDefaultFileTemplate, fields, false, ".mp4");
        return request;
    }

    // The same path with another extension in place of ".mp4".
    static std::string withExtension(const std::string& path, const char* extension) {
        return path.substr(0, path.size() - 4) + extension;
    }

    fs::path directory_;
    JobTimings timings_;
};

}  // namespace quivra::test

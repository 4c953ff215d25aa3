// The twelve-part video downloaded as "下载全部" does it: three pool workers, the real
// engine, the real ffmpeg, the local site in a child process pacing every connection.
//   download_job_bench [bytes-per-second-per-connection=4000000] [quality=80]
//                      [slow-bytes-per-second=50000]
// Prints the wall time from the press to the last "下载完成" against what the bytes need
// at the limit, the peak resident memory, and the CPU the program spends while its jobs
// wait on slow connections.
#include <httplib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/shared_state.h"
#include "bench_support.h"
#include "devsite/dev_site.h"
#include "download/download_start.h"
#include "download/download_view.h"
#include "download/engine/download_engine.h"
#include "download/list/download_queue.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"
#include "support/program_job.h"
#include "video/video_info.h"

namespace {

using namespace quivra;
using Clock = std::chrono::steady_clock;

// The list in memory: the parse it shows, the chosen qualities, the state texts.
class BenchView : public DownloadView {
  public:
    BenchView(const VideoRecord& video, int quality)
        : parse_(std::make_shared<ParseResult>()), quality_(quality) {
        parse_->video = video;
        parse_->rows = video.pages;
        states_.resize(video.pages.size());
    }
    int rowCount() const { return static_cast<int>(states_.size()); }
    std::shared_ptr<const ParseResult> shownParse() override { return parse_; }
    bool isChecked(int) override { return true; }
    std::optional<int> videoQualityData() override { return quality_; }
    std::optional<int> audioQualityData() override { return 30280; }
    void clearVideoQualitySelection() override {}
    std::string stateText(int row) override {
        std::lock_guard lock(mutex_);
        return states_[row];
    }
    void setStateText(int row, const std::string& text) override {
        std::lock_guard lock(mutex_);
        states_[row] = text;
        if (text == done_) lastDone_ = Clock::now();
    }
    void showMessage(const std::string& text) override {
        std::fprintf(stderr, "message: %s\n", localToUtf8(text).c_str());
    }
    int doneCount() {
        std::lock_guard lock(mutex_);
        int count = 0;
        for (const std::string& state : states_) count += state == done_ ? 1 : 0;
        return count;
    }
    bool anyFailed() {
        std::lock_guard lock(mutex_);
        for (const std::string& state : states_) {
            if (state == localText("音视频合成失败") || state == localText("视频解析失败"))
                return true;
        }
        return false;
    }
    Clock::time_point lastDone() {
        std::lock_guard lock(mutex_);
        return lastDone_;
    }

  private:
    std::mutex mutex_;
    std::shared_ptr<ParseResult> parse_;
    std::vector<std::string> states_;
    int quality_;
    const std::string done_ = localText("下载完成");
    Clock::time_point lastDone_;
};

// Shows the queue's items in the rows of one list, as the main window does.
class RowStates : public DownloadQueueListener {
  public:
    explicit RowStates(std::shared_ptr<BenchView> view) : view_(std::move(view)) {}
    void itemChanged(const DownloadItem& item) override { showItemInRow(*view_, item); }
    void itemRemoved(std::int64_t) override {}

  private:
    std::shared_ptr<BenchView> view_;
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::int64_t servedBytes(httplib::Client& control, const std::string& file) {
    auto answer = control.Get("/_devsite/served?file=" + file);
    if (!answer) return 0;
    const std::size_t at = answer->body.find("\"bytes\":");
    return at == std::string::npos ? 0 : std::atoll(answer->body.c_str() + at + 8);
}

DownloadSettings settingsFor(const std::filesystem::path& directory) {
    DownloadSettings settings;
    settings.directory = utf8ToLocalText(directory.string());
    settings.threadNumber = 3;
    return settings;
}

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t rate = argc > 1 ? std::atoll(argv[1]) : 4'000'000;
    const int quality = argc > 2 ? std::atoi(argv[2]) : 80;
    const std::int64_t slowRate = argc > 3 ? std::atoll(argv[3]) : 50'000;

    int port = 0, keepAlive = -1;
    const pid_t site = bench::startSiteProcess({}, port, keepAlive);
    if (site <= 0 || port <= 0) {
        std::fprintf(stderr, "the local site did not start\n");
        return 1;
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    httplib::Client control("127.0.0.1", port);

    char pattern[] = "/tmp/quivra-job-bench-XXXXXX";
    const std::filesystem::path folder = mkdtemp(pattern);
    loadSharedState(folder.string());
    sharedState().site.api = base;
    sharedState().site.main = base;
    if (!downloadEngine().init(folder.string(), true) || !threadPool().start(3)) {
        std::fprintf(stderr, "engine or pool did not start\n");
        return 1;
    }
    VideoRecord video;
    video.bvid = devsite::kTwelvePartBvid;
    const bool found = requestVideoInfo(video.bvid, video) == 12;
    video.bvid = devsite::kTwelvePartBvid;
    if (!found) {
        std::fprintf(stderr, "no video information\n");
        return 1;
    }
    sharedState().video.set(video);
    DownloadQueue queue(threadPool(), test::programJob());

    // Run 1: at the given rate, press to last "下载完成".
    control.Post("/_devsite/speed?bytesPerSecond=" + std::to_string(rate), "", "text/plain");
    const DownloadSettings fast = settingsFor(folder / "fast");
    auto view = std::make_shared<BenchView>(video, quality);
    queue.addListener(std::make_shared<RowStates>(view));
    const auto pressed = Clock::now();
    startDownloads(*view, queue, fast, base);
    while (view->doneCount() < view->rowCount() && !view->anyFailed() &&
           Clock::now() - pressed < std::chrono::minutes(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double wall = std::chrono::duration<double>(view->lastDone() - pressed).count();
    std::int64_t bytes = 0, slowestPart = 0;
    for (const PageEntry& page : video.pages) {
        const std::string stem = std::string(devsite::kTwelvePartBvid) + "-" + page.cid + "-";
        const std::int64_t part = servedBytes(control, stem + std::to_string(quality) + ".m4s") +
                                  servedBytes(control, stem + "30280.m4s");
        bytes += part;
        slowestPart = std::max(slowestPart, part);
    }
    const int parts = view->rowCount();
    const double perPart = static_cast<double>(slowestPart) / static_cast<double>(rate);
    std::printf("run at %.1f MB/s per connection, quality %d, 3 threads: %d of %d parts done\n",
                rate / 1e6, quality, view->doneCount(), parts);
    std::printf("  wall time press -> last 下载完成: %.2f s\n", wall);
    std::printf(
        "  bytes: %.2f MB; one part at the limit (two streams, one connection each): "
        "%.3f s; all bytes through one connection: %.2f s\n",
        bytes / 1e6, perPart, static_cast<double>(bytes) / static_cast<double>(rate));
    std::printf(
        "  least possible with one start a second: %d s + %.3f s = %.2f s; "
        "overhead %.2f s\n",
        parts - 1, perPart, parts - 1 + perPart, wall - (parts - 1 + perPart));

    // Run 2: slow connections, CPU of this process while the jobs wait on them.
    control.Post("/_devsite/speed?bytesPerSecond=" + std::to_string(slowRate), "", "text/plain");
    const DownloadSettings slowSettings = settingsFor(folder / "slow");
    auto slow = std::make_shared<BenchView>(video, quality);
    queue.addListener(std::make_shared<RowStates>(slow));
    std::thread presser([&] { startDownloads(*slow, queue, slowSettings, base); });
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const double cpuBefore = cpuSeconds();
    const auto windowStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(6));
    const double cpu = cpuSeconds() - cpuBefore;
    const double span = std::chrono::duration<double>(Clock::now() - windowStart).count();
    std::printf(
        "run at %.0f kB/s per connection: CPU of the program over %.1f s with 3 jobs "
        "transferring: %.3f s = %.2f%% of one core (%d parts done meanwhile)\n",
        slowRate / 1e3, span, cpu, 100.0 * cpu / span, slow->doneCount());

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    std::printf("peak resident memory of the program: %.1f MB (largest merge: %.1f MB)\n",
                usage.ru_maxrss / 1024.0, children.ru_maxrss / 1024.0);

    presser.join();
    queue.shutDown();
    downloadEngine().uninit();
    threadPool().stop(0);
    close(keepAlive);
    waitpid(site, nullptr, 0);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}

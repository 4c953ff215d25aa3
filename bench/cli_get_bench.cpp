// One large part downloaded by `quivra-downloader get` (the real program, from its start to
// its exit: command line, parse, download list, engine) against the same part through the
// window's path in this process (startDownloads, as "下载全部" calls it, over the same queue
// and engine), both from the local site in a child process that paces every connection.
//   cli_get_bench [rounds=3] [bytes-per-second-per-connection=4000000] [MiB=256]
// The large video's streams are synthetic bytes that ffmpeg refuses, so both paths end in
// the same failed merge; the time that compares the downloads is the one to the moment both
// streams are whole (the item turns "merging").
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
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
#include "support/started_program.h"
#include "video/video_parse.h"

namespace {

namespace fs = std::filesystem;
using namespace quivra;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The main window's list showing the parse of the video (one part), quality 80 and audio 高
// chosen.
class OneRowView : public DownloadView {
  public:
    explicit OneRowView(std::shared_ptr<const ParseResult> parse) : parse_(std::move(parse)) {}
    std::shared_ptr<const ParseResult> shownParse() override { return parse_; }
    bool isChecked(int) override { return true; }
    std::optional<int> videoQualityData() override { return 80; }
    std::optional<int> audioQualityData() override { return 30280; }
    void clearVideoQualitySelection() override {}
    std::string stateText(int) override { return ""; }
    void setStateText(int, const std::string&) override {}
    void showMessage(const std::string& text) override {
        std::fprintf(stderr, "message: %s\n", localToUtf8(text).c_str());
    }

  private:
    std::shared_ptr<const ParseResult> parse_;
};

// When the part's streams were whole and when it ended.
class Moments : public DownloadQueueListener {
  public:
    void itemChanged(const DownloadItem& item) override {
        std::lock_guard lock(mutex_);
        if (item.state == ItemState::Merging && !merging_) merging_ = Clock::now();
        if (item.state == ItemState::Done || item.state == ItemState::Failed) {
            ended_ = Clock::now();
            changed_.notify_all();
        }
    }
    void itemRemoved(std::int64_t) override {}
    void reset() {
        std::lock_guard lock(mutex_);
        merging_.reset();
        ended_.reset();
    }
    // Seconds from start to the streams being whole and to the end; -1 when not reached.
    std::pair<double, double> waitFrom(Clock::time_point start) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::minutes(10), [this] { return ended_.has_value(); });
        const auto since = [&](const std::optional<Clock::time_point>& at) {
            return at ? std::chrono::duration<double>(*at - start).count() : -1.0;
        };
        return {since(merging_), since(ended_)};
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Clock::time_point> merging_;
    std::optional<Clock::time_point> ended_;
};

struct Timing {
    double whole = -1;  // start to both streams whole
    double end = -1;    // start to the end
};

Timing timeWindow(DownloadQueue& queue, Moments& moments,
                  const std::shared_ptr<const ParseResult>& parse, const fs::path& folder) {
    DownloadSettings settings = sharedState().download.get();
    settings.directory = utf8ToLocalText(folder.string());
    moments.reset();
    OneRowView view(parse);
    const auto pressed = Clock::now();
    startDownloads(view, queue, settings, sharedState().site.main);
    const auto [whole, end] = moments.waitFrom(pressed);
    return {whole, end};
}

Timing timeCommand(const fs::path& program, const fs::path& folder) {
    const auto started = Clock::now();
    test::StartedProgram get(program.string(), {"get", devsite::kLargeBvid, "-q", "80", "-o",
                                                folder.string(), "--json"});
    Timing timing;
    if (get.waitForOutput(
            [](const std::string& out) {
                return out.find("\"state\":\"merging\"") != std::string::npos;
            },
            std::chrono::seconds(600))) {
        timing.whole = secondsSince(started);
    }
    get.finish(std::chrono::seconds(600));
    timing.end = secondsSince(started);
    return timing;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = bench::runsArgument(argc, argv, 3);
    devsite::Options options;
    options.bytesPerSecond = argc > 2 ? std::atoll(argv[2]) : 4'000'000;
    options.largeFileBytes = (argc > 3 ? std::atoll(argv[3]) : 256) << 20;
    int port = 0, keepAlive = -1;
    const pid_t site = bench::startSiteProcess(options, port, keepAlive);
    if (site <= 0 || port <= 0) {
        std::fprintf(stderr, "the local site did not start\n");
        return 1;
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    // A portable program folder for the command, its config.ini pointing at the site.
    char pattern[] = "/tmp/quivra-get-bench-XXXXXX";
    const fs::path folder = ::mkdtemp(pattern);
    bench::makeCommandFolder(folder, base);

    // The window's side in this process, in a folder of its own.
    const fs::path window = folder / "window";
    fs::create_directories(window);
    loadSharedState(window.string());
    sharedState().site.api = sharedState().site.main = base;
    const auto parse = std::make_shared<const ParseResult>(parseVideo(devsite::kLargeBvid, {}));
    if (parse->failure != ParseFailure::None || parse->rows.size() != 1 ||
        !downloadEngine().init(window, true) || !threadPool().start(3)) {
        std::fprintf(stderr, "no video information, engine or pool\n");
        return 1;
    }
    sharedState().video.set(parse->video);
    DownloadQueue queue(threadPool(), test::programJob());
    auto moments = std::make_shared<Moments>();
    queue.addListener(moments);

    std::vector<double> windowWhole, windowEnd, commandWhole, commandEnd;
    for (int round = 0; round < rounds; ++round) {
        const fs::path windowDownloads = window / ("round" + std::to_string(round));
        const Timing byWindow = timeWindow(queue, *moments, parse, windowDownloads);
        fs::remove_all(windowDownloads);
        const fs::path commandDownloads = folder / ("round" + std::to_string(round));
        const Timing byCommand = timeCommand(folder / "quivra-downloader", commandDownloads);
        fs::remove_all(commandDownloads);
        std::printf(
            "round %d: window %.2f s to whole streams (%.2f s to the end), get %.2f s (%.2f s)\n",
            round + 1, byWindow.whole, byWindow.end, byCommand.whole, byCommand.end);
        std::fflush(stdout);
        windowWhole.push_back(byWindow.whole);
        windowEnd.push_back(byWindow.end);
        commandWhole.push_back(byCommand.whole);
        commandEnd.push_back(byCommand.end);
    }
    const double ratio = median(commandWhole) / median(windowWhole);
    std::printf(
        "%lld MiB at %.1f MB/s per connection, medians of %d rounds: window %.2f s, get %.2f s "
        "to whole streams: get/window %.3f (target at most 1.10: %s); to the end %.2f s and "
        "%.2f s\n",
        static_cast<long long>(options.largeFileBytes >> 20), options.bytesPerSecond / 1e6, rounds,
        median(windowWhole), median(commandWhole), ratio, ratio <= 1.10 ? "met" : "not met",
        median(windowEnd), median(commandEnd));

    queue.shutDown();
    threadPool().stop(0);
    downloadEngine().uninit();
    ::close(keepAlive);
    ::waitpid(site, nullptr, 0);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return 0;
}

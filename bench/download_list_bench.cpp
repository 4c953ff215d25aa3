// The download list at size and at work, with the local site in a child process.
//   download_list_bench [items=1000] [bytes-per-second-per-connection=4000000]
//                       [large-stream-bytes=805306368] [window-seconds=6]
// 1. The list window over `items` parts of the 1,000-part video: the time to build, show
//    and paint it (10 openings), and the time of each frame while it scrolls through every
//    row a page at a time.
// 2. Three parts of the large video downloading at once (each to its own folder) with the
//    list window open: the program's CPU and peak resident memory over the window, and
//    the store's transactions per item per second.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QScrollBar>
#include <QTableView>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "app/download_list_window.h"
#include "base/shared_state.h"
#include "bench_support.h"
#include "devsite/dev_site.h"
#include "download/download_core.h"
#include "download/engine/download_engine.h"
#include "download/list/download_queue.h"
#include "download/list/download_store.h"
#include "download/plan/download_plan.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"
#include "support/program_job.h"
#include "video/video_parse.h"

namespace {

using namespace quivra;
using Clock = std::chrono::steady_clock;

// CPU seconds of each of this process's threads by name (the GUI thread is "main"; the
// engine thread keeps the process's name).
std::map<std::string, double> threadSeconds() {
    std::map<std::string, double> seconds;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream statFile(task.path() / "stat");
        std::string stat((std::istreambuf_iterator<char>(statFile)), {});
        const size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::string name = stat.substr(open + 1, close - open - 1);
        if (task.path().filename() == std::to_string(getpid())) name = "main";
        std::istringstream rest(stat.substr(close + 2));
        std::string field;
        long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14) utime = std::atoll(field.c_str());
            if (i == 15) stime = std::atoll(field.c_str());
        }
        seconds[name] += static_cast<double>(utime + stime) / tick;
    }
    return seconds;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the GUI's events for a while, as the event loop would.
void runEvents(std::chrono::milliseconds span) {
    const auto until = Clock::now() + span;
    while (Clock::now() < until) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// A core around the list, as the program's start makes it.
std::shared_ptr<DownloadCore> coreWith(ThreadPool& pool, std::shared_ptr<DownloadQueue> queue) {
    SharedState& state = sharedState();
    return std::make_shared<DownloadCore>(
        DownloadCore{downloadEngine(), pool, std::move(queue), state.download, state.site});
}

// The parts of the parse as "下载全部" plans them into the folder: quality 80, audio 高,
// tags and cover.
std::vector<DownloadRequest> plannedParts(const ParseResult& parsed,
                                          const std::filesystem::path& directory) {
    DownloadSettings settings;
    settings.directory = utf8ToLocalText(directory.string());
    settings.writeTags = settings.saveCover = true;
    return planDownloads(parsed, {std::nullopt, 80, 30280}, settings, sharedState().site.main)
        .requests;
}

void measureList(const ParseResult& parsed, const std::filesystem::path& directory, int count) {
    std::vector<DownloadItem> items;
    for (const DownloadRequest& request : plannedParts(parsed, directory)) {
        if (static_cast<int>(items.size()) == count) break;
        DownloadItem item;
        item.id = static_cast<std::int64_t>(items.size()) + 1;
        item.request = request;
        item.state = item.id % 3 == 0 ? ItemState::Failed : ItemState::Done;
        item.bytesDone = item.bytesTotal = 932000 + item.id;
        item.finishedAt = 1700000000 + item.id;
        items.push_back(item);
    }
    ThreadPool idle;  // never started: the items stay as they are
    const auto core =
        coreWith(idle, std::make_shared<DownloadQueue>(idle, test::programJob(), nullptr, items));

    std::vector<double> opens;
    for (int run = 0; run < 10; ++run) {
        opens.push_back(bench::millisecondsOf([&] {
            DownloadListWindow window(core);
            window.show();
            window.grab();  // paints every visible row
        }));
        QApplication::processEvents();
    }
    const bench::Spread open = bench::spreadOf(opens);
    std::printf(
        "list of %zu items: open (build, show, first paint) median %.1f ms, min %.1f, "
        "max %.1f (target under 200 ms)\n",
        items.size(), open.median, open.min, open.max);

    DownloadListWindow window(core);
    window.show();
    window.grab();
    QScrollBar* bar = window.table()->verticalScrollBar();
    std::vector<double> frames;
    for (int value = 0; value <= bar->maximum(); value += bar->pageStep()) {
        frames.push_back(bench::millisecondsOf([&] {
            bar->setValue(value);
            window.table()->viewport()->grab();
        }));
    }
    const bench::Spread frame = bench::spreadOf(frames);
    std::printf(
        "scrolling a page at a time through every row: %zu frames, median %.2f ms, "
        "max %.2f ms (a stall would be a frame over 16 ms)\n",
        frames.size(), frame.median, frame.max);
}

void measureDownloads(const std::filesystem::path& folder, std::int64_t rate,
                      std::chrono::seconds window) {
    const ParseResult large = parseVideo(devsite::kLargeBvid, {});
    if (large.failure != ParseFailure::None) {
        std::fprintf(stderr, "no information for the large video\n");
        return;
    }
    StoreOpening opening = DownloadStore::open((folder / "downloads.db").string());
    DownloadStore* store = opening.store.get();
    auto queue =
        std::make_shared<DownloadQueue>(threadPool(), test::programJob(), std::move(opening.store));
    DownloadListWindow list(coreWith(threadPool(), queue));
    list.show();
    for (int n = 1; n <= 3; ++n) {
        queue->submit(plannedParts(large, folder / ("d" + std::to_string(n))).front());
    }
    runEvents(std::chrono::seconds(2));  // connections up, the list filling

    const double cpuBefore = cpuSeconds();
    const std::map<std::string, double> threadsBefore = threadSeconds();
    const std::int64_t transactionsBefore = store->transactionCount();
    const auto began = Clock::now();
    runEvents(window);
    const double span = std::chrono::duration<double>(Clock::now() - began).count();
    const double cpu = cpuSeconds() - cpuBefore;
    std::map<std::string, double> threads = threadSeconds();
    for (const auto& [name, seconds] : threadsBefore) threads[name] -= seconds;
    const std::int64_t transactions = store->transactionCount() - transactionsBefore;
    int running = 0;
    std::int64_t bytes = 0;
    for (const DownloadItem& item : queue->items()) {
        running += item.state == ItemState::Running;
        bytes += item.bytesDone;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "3 parts downloading at %.2f MB/s per connection, list open, over %.1f s "
        "(%d still running at the end, %.0f MB fetched in all):\n",
        rate / 1e6, span, running, bytes / 1e6);
    std::printf("  CPU of the program: %.2f s = %.1f%% of one core (target under 5%%)\n", cpu,
                100.0 * cpu / span);
    for (const auto& [name, seconds] : threads) {
        std::printf("    thread %s: %.1f%% of one core\n", name.c_str(), 100.0 * seconds / span);
    }
    std::printf("  peak resident memory: %.1f MB (target under 150 MB)\n",
                usage.ru_maxrss / 1024.0);
    std::printf("  store: %lld transactions = %.2f per item per second (target at most 1)\n",
                static_cast<long long>(transactions), transactions / 3.0 / span);
    queue->shutDown();
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    const std::int64_t rate = argc > 2 ? std::atoll(argv[2]) : 4'000'000;
    const std::int64_t largeBytes = argc > 3 ? std::atoll(argv[3]) : 768LL << 20;
    const std::chrono::seconds window(argc > 4 ? std::atoi(argv[4]) : 6);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    devsite::Options options;
    options.bytesPerSecond = rate;
    options.largeFileBytes = largeBytes;
    int port = 0, keepAlive = -1;
    const pid_t site = bench::startSiteProcess(options, port, keepAlive);
    if (site <= 0 || port <= 0) {
        std::fprintf(stderr, "the local site did not start\n");
        return 1;
    }
    char pattern[] = "/tmp/quivra-list-bench-XXXXXX";
    const std::filesystem::path folder = mkdtemp(pattern);
    loadSharedState(folder.string());
    sharedState().site.api = sharedState().site.main = "http://127.0.0.1:" + std::to_string(port);

    const ParseResult thousand = parseVideo(devsite::kThousandPartBvid, {});
    if (thousand.failure != ParseFailure::None) {
        std::fprintf(stderr, "no information for the 1,000-part video\n");
        return 1;
    }
    measureList(thousand, folder / "list", count);

    if (!downloadEngine().init(folder.string(), true) || !threadPool().start(3)) {
        std::fprintf(stderr, "engine or pool did not start\n");
        return 1;
    }
    measureDownloads(folder, rate, window);
    downloadEngine().uninit();
    threadPool().stop(0);
    close(keepAlive);
    waitpid(site, nullptr, 0);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}

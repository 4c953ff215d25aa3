// The 视频列表 window over the 2,000-video uploader of the local site (in this process,
// offscreen): the time to list it and the time from 下载选中 on every row to every part
// queued (into a list whose pool never runs), each with the longest gap of the GUI's event
// loop, read as the largest interval of a 10 ms timer. Once with the site answering at
// once and once with 50 ms before every interface answer.
//   list_window_bench [runs=3]
#include <time.h>

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "app/video_list_window.h"
#include "base/shared_state.h"
#include "bench_support.h"
#include "download/download_core.h"
#include "download/engine/download_engine.h"
#include "download/list/download_queue.h"
#include "download/thread_pool.h"
#include "support/program_job.h"

namespace {

using namespace quivra;
using Clock = std::chrono::steady_clock;

struct Phase {
    double milliseconds = 0;
    double longestGapMs = 0;  // of the event loop
    double gapWorkMs = 0;     // the GUI thread's CPU time within that gap
};

// CPU time of the calling thread: tells a gap the GUI thread worked through from one it
// spent waiting for a core.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Runs the event loop until done() holds (looked at every tick of a 10 ms timer), timing
// the whole and the largest interval between two ticks.
Phase runUntil(const std::function<bool()>& done) {
    Phase phase;
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    const auto began = Clock::now();
    auto last = began;
    double lastCpu = threadCpuMs();
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        const double cpu = threadCpuMs();
        const double gap = std::chrono::duration<double, std::milli>(now - last).count();
        if (gap > phase.longestGapMs) {
            phase.longestGapMs = gap;
            phase.gapWorkMs = cpu - lastCpu;
        }
        last = now;
        lastCpu = cpu;
        if (done()) loop.quit();
    });
    tick.start(10);
    loop.exec();
    phase.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - began).count();
    return phase;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = bench::runsArgument(argc, argv, 3);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    bench::LocalSite local("quivra-list-window-bench");
    if (!local.start()) return 1;
    sharedState().download.update(
        [&](DownloadSettings& s) { s.directory = (local.folder() / "downloads").string(); });

    ListAddress uploader;
    uploader.kind = ListKind::Uploader;
    uploader.ownerMid = devsite::kUploaderMid;
    ThreadPool idle;  // never started: the parts stay queued, nothing downloads

    for (int delay : {0, 50}) {
        for (const char* path :
             {"/x/space/wbi/arc/search", "/x/web-interface/view", "/x/player/playurl"}) {
            local.site().setDelayMs(path, delay);
        }
        std::vector<double> listTimes, listGaps, queueTimes, queueGaps;
        double listGapWork = 0, queueGapWork = 0;  // within the longest gap of all runs
        for (int run = 0; run < runs; ++run) {
            auto queue = std::make_shared<DownloadQueue>(idle, test::programJob());
            SharedState& state = sharedState();
            auto core = std::make_shared<DownloadCore>(
                DownloadCore{downloadEngine(), idle, queue, state.download, state.site});
            VideoListWindow* window = VideoListWindow::open(core, uploader);
            const Phase listing = runUntil([&] { return !window->isListing(); });
            if (window->model()->rowCount() != devsite::kUploaderVideoCount) {
                std::fprintf(stderr, "listed %d rows\n", window->model()->rowCount());
                return 1;
            }
            window->selectAll();
            window->downloadButton()->click();
            const Phase queueing = runUntil([&] { return window->downloadButton()->isEnabled(); });
            if (queue->items().size() != static_cast<size_t>(devsite::kUploaderVideoCount)) {
                std::fprintf(stderr, "queued %zu parts\n", queue->items().size());
                return 1;
            }
            delete window;
            QApplication::processEvents();
            if (listGaps.empty() || listing.longestGapMs > bench::spreadOf(listGaps).max) {
                listGapWork = listing.gapWorkMs;
            }
            if (queueGaps.empty() || queueing.longestGapMs > bench::spreadOf(queueGaps).max) {
                queueGapWork = queueing.gapWorkMs;
            }
            listTimes.push_back(listing.milliseconds);
            listGaps.push_back(listing.longestGapMs);
            queueTimes.push_back(queueing.milliseconds);
            queueGaps.push_back(queueing.longestGapMs);
            local.site().clearRequests();
        }
        const bench::Spread lt = bench::spreadOf(listTimes), lg = bench::spreadOf(listGaps);
        const bench::Spread qt = bench::spreadOf(queueTimes), qg = bench::spreadOf(queueGaps);
        std::printf(
            "%d ms per answer, %d runs:\n"
            "  listing 2,000 videos (67 pages): median %.0f ms (min %.0f, max %.0f); longest "
            "event-loop gap median %.1f ms, max %.1f ms (the GUI thread working %.1f ms of it)\n"
            "  下载选中 on 2,000 rows to 2,000 parts queued: median %.0f ms (min %.0f, max %.0f); "
            "longest event-loop gap median %.1f ms, max %.1f ms (the GUI thread working %.1f ms of "
            "it; target under 100 ms)\n",
            delay, runs, lt.median, lt.min, lt.max, lg.median, lg.max, listGapWork, qt.median,
            qt.min, qt.max, qg.median, qg.max, queueGapWork);
    }
    return 0;
}

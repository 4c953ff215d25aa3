// 开始 to every part queued, for the twenty two-part videos of the local site: the batch
// run (two parses at once) against the same addresses parsed and queued one after the
// other, as the command line's get does and a user pasting them one by one would at best.
// With a delay per interface answer the local site stands in for a distant server.
// Prints the median, the fastest and the slowest of the timed runs and the ratio.
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "base/shared_state.h"
#include "bench_support.h"
#include "download/batch_download.h"
#include "download/list/download_queue.h"
#include "download/thread_pool.h"
#include "support/program_job.h"
#include "video/video_parse.h"
#include "waiting_batch_view.h"

namespace {

std::vector<std::string> addresses() {
    std::vector<std::string> list;
    for (int i = 0; i < devsite::kBatchVideoCount; ++i) list.push_back(devsite::batchBvid(i));
    return list;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = bench::runsArgument(argc, argv, 10);
    bench::LocalSite local("quivra-batch-bench");
    if (!local.start()) return 1;
    quivra::DownloadSettings settings = quivra::sharedState().download.get();
    settings.directory = (local.folder() / "downloads").string();
    quivra::ThreadPool idle;  // never started: the parts stay queued, nothing downloads

    const auto batch = [&] {
        auto queue = std::make_shared<quivra::DownloadQueue>(idle, quivra::test::programJob());
        auto view = std::make_shared<bench::WaitingView>();
        quivra::ListingRequest lists;
        lists.site = quivra::sharedState().site;
        quivra::BatchRun::start(addresses(), settings, std::move(lists), queue, view);
        view->wait();
        return queue->items().size();
    };
    const auto oneByOne = [&] {
        quivra::DownloadQueue queue(idle, quivra::test::programJob());
        for (const std::string& address : addresses()) {
            quivra::addParsedVideo(quivra::parseVideo(address, quivra::formatAskOf(settings)),
                                   settings, quivra::sharedState().site.main, queue);
        }
        return queue.items().size();
    };

    for (int delay : {0, 50}) {
        for (const char* path : {"/x/web-interface/view", "/x/player/playurl"}) {
            local.site().setDelayMs(path, delay);
        }
        std::vector<double> batchTimes, oneTimes;
        for (int i = 0; i < runs + 1; ++i) {  // one warm-up round
            size_t parts = 0;
            const double b = bench::millisecondsOf([&] { parts = batch(); });
            if (parts != 2u * devsite::kBatchVideoCount) {
                std::fprintf(stderr, "the batch queued %zu parts\n", parts);
                return 1;
            }
            const double o = bench::millisecondsOf([&] { parts = oneByOne(); });
            if (parts != 2u * devsite::kBatchVideoCount) return 1;
            if (i > 0) {
                batchTimes.push_back(b);
                oneTimes.push_back(o);
            }
            local.site().clearRequests();
        }
        const bench::Spread b = bench::spreadOf(batchTimes);
        const bench::Spread o = bench::spreadOf(oneTimes);
        std::printf(
            "20 addresses, 40 parts, %d ms per answer, %d runs: batch median %.1f ms (min %.1f, "
            "max %.1f); one by one median %.1f ms (min %.1f, max %.1f); ratio %.2f\n",
            delay, runs, b.median, b.min, b.max, o.median, o.min, o.max, b.median / o.median);
    }
    return 0;
}

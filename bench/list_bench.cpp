// A whole list against the local site: (1) listing the 2,000-video uploader (the nav
// request and 67 pages) through listVideos, against the same requests sent again one after
// the other, unread: what the listing adds to its answers' times; (2) 下载选中 on all
// 2,000 (startListDownload, two parses at once) to every part queued, against the parses'
// requests sent again one after the other, halved: the time two at once could take at best.
// A delay per interface answer stands the local site in for a distant server.
// Prints the median, the fastest and the slowest of the timed runs and the ratios.
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/shared_state.h"
#include "bench_support.h"
#include "download/list/download_queue.h"
#include "download/list_download.h"
#include "download/thread_pool.h"
#include "net/http_request.h"
#include "support/program_job.h"
#include "video/listing/video_listing.h"
#include "waiting_batch_view.h"

namespace {

constexpr const char* kListPaths[] = {"/x/web-interface/nav", "/x/space/wbi/arc/search"};
constexpr const char* kParsePaths[] = {"/x/web-interface/view", "/x/player/playurl"};

// The requests the site saw since the last clear, sent again one after the other: the
// sum of their answers' times, without reading them.
double replayMilliseconds(devsite::DevSite& site) {
    const std::vector<devsite::RecordedRequest> sent = site.requests();
    return bench::millisecondsOf([&] {
        for (const devsite::RecordedRequest& request : sent) {
            quivra::httpRequest(site.baseUrl() + request.path +
                                (request.query.empty() ? "" : "?" + request.query));
        }
    });
}

quivra::ListingResult listUploader() {
    quivra::ListingRequest request;
    request.address.kind = quivra::ListKind::Uploader;
    request.address.ownerMid = devsite::kUploaderMid;
    request.site = quivra::sharedState().site;
    return quivra::listVideos(request, nullptr);
}

struct Timed {
    std::vector<double> work;
    std::vector<double> answers;
    void add(double w, double a) {
        work.push_back(w);
        answers.push_back(a);
    }
    void print(const char* what, int delay, double share) const {
        const bench::Spread w = bench::spreadOf(work);
        const bench::Spread a = bench::spreadOf(answers);
        std::printf(
            "%s, %d ms per answer, %zu runs: median %.1f ms (min %.1f, max %.1f); answers "
            "%.1f ms (min %.1f, max %.1f); ratio %.3f\n",
            what, delay, work.size(), w.median, w.min, w.max, a.median * share, a.min * share,
            a.max * share, w.median / (a.median * share));
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int runs = bench::runsArgument(argc, argv, 3);
    bench::LocalSite local("quivra-list-bench");
    if (!local.start()) return 1;
    devsite::DevSite& site = local.site();
    quivra::DownloadSettings settings = quivra::sharedState().download.get();
    settings.directory = (local.folder() / "downloads").string();
    quivra::ThreadPool idle;  // never started: the parts stay queued, nothing downloads

    quivra::ListingResult listing;
    for (int delay : {0, 50}) {
        for (const char* path : kListPaths) site.setDelayMs(path, delay);
        Timed timed;
        for (int i = 0; i < runs + 1; ++i) {  // one warm-up round
            site.clearRequests();
            const double listed = bench::millisecondsOf([&] { listing = listUploader(); });
            if (!listing.complete || listing.entries.size() != devsite::kUploaderVideoCount) {
                std::fprintf(stderr, "the listing stopped at %zu: %s\n", listing.entries.size(),
                             listing.reason.c_str());
                return 1;
            }
            const double answers = replayMilliseconds(site);
            if (i > 0) timed.add(listed, answers);
        }
        timed.print("listing 2,000 videos (68 requests)", delay, 1.0);
    }
    for (const char* path : kListPaths) site.setDelayMs(path, 0);

    std::vector<size_t> all(listing.entries.size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    const int queueRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    for (int delay : {0, 10}) {
        for (const char* path : kParsePaths) site.setDelayMs(path, delay);
        Timed timed;
        for (int i = 0; i < queueRuns + 1; ++i) {
            auto queue = std::make_shared<quivra::DownloadQueue>(idle, quivra::test::programJob());
            auto view = std::make_shared<bench::WaitingView>();
            site.clearRequests();
            const double queued = bench::millisecondsOf([&] {
                quivra::startListDownload(listing, all, settings, quivra::sharedState().site.main,
                                          queue, view);
                view->wait();
            });
            if (queue->items().size() != all.size()) {
                std::fprintf(stderr, "%zu parts queued\n", queue->items().size());
                return 1;
            }
            const double answers = replayMilliseconds(site);
            if (i > 0) timed.add(queued, answers);
            std::error_code ignored;
            std::filesystem::remove_all(settings.directory, ignored);
        }
        timed.print("2,000 videos queued (two parses at once)", delay, 0.5);
    }
    return 0;
}

// One page of search hits against the local site on loopback: request, JSON read of the
// 20 hits with their dates. Prints the median, the fastest and the slowest of the runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/shared_state.h"
#include "bench_support.h"
#include "devsite/dev_site.h"
#include "search/search_request.h"

int main(int argc, char** argv) {
    const int runs = bench::runsArgument(argc, argv, 100);

    bench::LocalSite local("quivra-search-bench");
    if (!local.start()) return 1;

    const std::string keyword = "练习 video";
    std::vector<double> milliseconds;
    for (int i = 0; i < runs + 3; ++i) {  // three warm-up runs
        quivra::SearchState state;
        state.currentPage = 1 + i % 50;
        state.pageSize = quivra::kSearchPageSize;
        std::vector<quivra::SearchHit> hits;
        int count = 0;
        const double took =
            bench::millisecondsOf([&] { count = quivra::searchRequest(keyword, state, hits); });
        if (count != 20 || state.pageCount != 50) {
            std::fprintf(stderr, "search gave %d hits and %d pages\n", count, state.pageCount);
            return 1;
        }
        if (i >= 3) milliseconds.push_back(took);
        local.site().clearRequests();
    }

    const bench::Spread spread = bench::spreadOf(milliseconds);
    std::printf("search page of 20 hits, %d runs: median %.2f ms, min %.2f ms, max %.2f ms\n", runs,
                spread.median, spread.min, spread.max);
    return 0;
}

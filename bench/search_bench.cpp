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

#include "devsite/dev_site.h"
#include "net/text_encoding.h"
#include "search/search_request.h"
#include "shell/shared_state.h"

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;

    devsite::DevSite site;
    if (!site.start()) {
        std::fprintf(stderr, "the local site did not start\n");
        return 1;
    }
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("quivra-search-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    quivra::loadSharedState(folder.string());
    quivra::sharedState().site.api = site.baseUrl();

    const std::string keyword = quivra::localText("练习 video");
    std::vector<double> milliseconds;
    for (int i = 0; i < runs + 3; ++i) {  // three warm-up runs
        quivra::SearchState state;
        state.currentPage = 1 + i % 50;
        state.pageSize = quivra::kSearchPageSize;
        std::vector<quivra::SearchHit> hits;
        const auto start = std::chrono::steady_clock::now();
        const int count = quivra::searchRequest(keyword, state, hits);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        if (count != 20 || state.pageCount != 50) {
            std::fprintf(stderr, "search gave %d hits and %d pages\n", count, state.pageCount);
            return 1;
        }
        if (i >= 3) milliseconds.push_back(took.count());
        site.clearRequests();
    }
    std::filesystem::remove_all(folder);

    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("search page of 20 hits, %d runs: median %.2f ms, min %.2f ms, max %.2f ms\n", runs,
                milliseconds[milliseconds.size() / 2], milliseconds.front(), milliseconds.back());
    return 0;
}

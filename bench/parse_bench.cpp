// The whole parse of the 1,000-part video against the local site on loopback:
// identifier, video information, quality list and rows handed to an in-memory window.
// Prints the median, the fastest and the slowest of the timed runs.
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
#include "video/parse_procedure.h"

namespace {

class CountingView : public quivra::ParseView {
  public:
    void setParseButton(const std::string&, bool) override {}
    void clearQualityItems() override { qualities = 0; }
    void addQualityItem(const std::string&, int) override { ++qualities; }
    void clearRows() override { rows = 0; }
    void appendRows(const std::vector<quivra::PageEntry>& pages) override { rows += pages.size(); }
    void setStatusText(const std::string&) override {}
    void showMessage(const std::string&) override {}

    std::string url;
    size_t qualities = 0;
    size_t rows = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const int runs = bench::runsArgument(argc, argv, 50);

    bench::LocalSite local("quivra-parse-bench");
    if (!local.start()) return 1;

    CountingView view;
    view.url = std::string("https://www.quivra.com/video/") + devsite::kThousandPartBvid;
    std::vector<double> milliseconds;
    for (int i = 0; i < runs + 3; ++i) {  // three warm-up runs
        const double took = bench::millisecondsOf([&] { quivra::runParse(view, view.url); });
        if (view.rows != 1000 || view.qualities == 0) {
            std::fprintf(stderr, "parse gave %zu rows and %zu qualities\n", view.rows,
                         view.qualities);
            return 1;
        }
        if (i >= 3) milliseconds.push_back(took);
        local.site().clearRequests();
    }

    const bench::Spread spread = bench::spreadOf(milliseconds);
    std::printf("parse of 1,000 parts, %d runs: median %.2f ms, min %.2f ms, max %.2f ms\n", runs,
                spread.median, spread.min, spread.max);
    return 0;
}

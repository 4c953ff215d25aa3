// Memory and time of parses whose video information answer is hostile: the program's peak
// resident size after each, against a baseline. The site runs in a child process, so its
// copies of the answers are not counted.
//   hostile_parse_bench
#include <httplib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/shared_state.h"
#include "bench_support.h"
#include "devsite/dev_site.h"
#include "net/text_encoding.h"
#include "video/parse_procedure.h"

namespace {

class CountingView : public quivra::ParseView {
  public:
    void setParseButton(const std::string&, bool) override {}
    void clearQualityItems() override {}
    void addQualityItem(const std::string&, int) override {}
    void clearRows() override { rows = 0; }
    void appendRows(const std::vector<quivra::PageEntry>& pages) override { rows += pages.size(); }
    void setStatusText(const std::string& text) override { status = quivra::localToUtf8(text); }
    void showMessage(const std::string&) override {}

    size_t rows = 0;
    std::string status;
};

double peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A claimed part count of 2^31-1 and a page list of `count` copies of `entry`.
std::string answerWithPages(const std::string& entry, size_t count) {
    std::string answer = R"({"code":0,"data":{"videos":2147483647,"cid":1,"pages":[)";
    answer.reserve(answer.size() + count * (entry.size() + 1) + 8);
    for (size_t i = 0; i < count; ++i) answer += (i ? "," : "") + entry;
    return answer + "]}}";
}

}  // namespace

int main() {
    int port = 0;
    int keepAlive = -1;
    const pid_t site = bench::startSiteProcess({}, port, keepAlive);
    if (site < 0 || port == 0) {
        std::fprintf(stderr, "the local site did not start\n");
        return 1;
    }
    bench::LocalSite folder("quivra-hostile-parse-bench");  // program folder only
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    quivra::loadSharedState(folder.folder().string());
    quivra::sharedState().site.api = base;
    httplib::Client control("127.0.0.1", port);

    struct Case {
        const char* what;
        std::string answer;  // "" keeps the fixture
    };
    std::vector<Case> cases;
    cases.push_back({"one-part video (fixture)", ""});
    // 1,000,000 entries, about 10 MB: refused for its size.
    cases.push_back(
        {"10 MB answer, 1,000,000 listed parts", answerWithPages(R"({"cid":1})", 1000000)});
    // The most entries an answer under the 4 MiB cap can list.
    cases.push_back({"4 MiB answer, 1,398,000 listed parts", answerWithPages("{}", 1398000)});

    const double baseline = peakMiB();
    std::printf("baseline peak resident size: %.1f MiB\n", baseline);
    for (Case& c : cases) {
        control.Post("/_devsite/overrides/clear", "", "text/plain");
        if (!c.answer.empty()) {
            control.Post(
                "/_devsite/override?path=/x/web-interface/view&status=200&contentType=application/"
                "json",
                c.answer, "application/json");
        }
        CountingView view;
        const double took =
            bench::millisecondsOf([&] { quivra::runParse(view, devsite::kOnePartBvid); });
        std::printf("%s (%zu bytes): %.0f ms, %zu rows, peak +%.1f MiB, \"%s\"\n", c.what,
                    c.answer.size(), took, view.rows, peakMiB() - baseline, view.status.c_str());
    }
    close(keepAlive);
    waitpid(site, nullptr, 0);
    return 0;
}

// search KEYWORD [--page N] [--json]: one page of the search window, written to the
// terminal.
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/command.h"
#include "app/cli/exit_status.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "search/search_worker.h"

namespace quivra {
namespace {

struct SearchOptions {
    std::string keyword;  // UTF-8
    int page = 1;
    bool json = false;
};

// The search window's side of a search, kept in memory.
class PageSearchView : public SearchView {
  public:
    void showPage(std::uint64_t, const SearchState& answered,
                  const std::vector<SearchHit>& hits) override {
        shown_ = true;
        state_ = answered;
        hits_ = hits;
    }

    void showMessage(const std::string& text) override {
        showMessageBox(text);
    }  // a line on standard error

    bool shown() const { return shown_; }
    const SearchState& state() const { return state_; }
    const std::vector<SearchHit>& hits() const { return hits_; }

  private:
    bool shown_ = false;
    SearchState state_;
    std::vector<SearchHit> hits_;
};

std::string videoAddress(const std::string& bvid) {
    return sharedState().site.main + "/video/" + bvid;
}

nlohmann::ordered_json searchJson(const SearchState& state, const std::vector<SearchHit>& hits) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (size_t i = 0; i < hits.size(); ++i) {
        const SearchHit& hit = hits[i];
        list.push_back({{"number", i + 1},
                        {"title", jsonText(hit.title)},
                        {"author", jsonText(hit.author)},
                        {"authorId", jsonText(hit.mid)},
                        {"duration", jsonText(hit.duration)},
                        {"pubdate", jsonText(hit.pubdate)},
                        {"play", jsonText(hit.play)},
                        {"bvid", jsonText(hit.bvid)},
                        {"address", jsonText(videoAddress(hit.bvid))}});
    }
    return {{"page", state.currentPage},
            {"pageCount", state.pageCount},
            {"resultCount", state.resultCount},
            {"label", jsonText(searchPageLabel(state))},
            {"hits", list}};
}

void writePage(Terminal& terminal, const SearchState& state, const std::vector<SearchHit>& hits) {
    for (size_t i = 0; i < hits.size(); ++i) {
        const SearchHit& hit = hits[i];
        terminal.localLine(std::to_string(i + 1) + "  " + hit.title + "  " + hit.author + "  " +
                           hit.duration + "  " + hit.bvid + "  " + videoAddress(hit.bvid));
    }
    terminal.localLine(searchPageLabel(state));
}

int runSearchCommand(const SearchOptions& options, Terminal& terminal) {
    PageSearchView view;
    // A failed request shows its message box, which the command line writes to stderr.
    runSearch(options.keyword, options.page, view);
    if (!view.shown()) return kExitFailed;
    if (options.json) {
        terminal.json(searchJson(view.state(), view.hits()));
    } else {
        writePage(terminal, view.state(), view.hits());
    }
    return kExitDone;
}

}  // namespace

void addSearchCommand(CLI::App& app, CommandAction& chosen) {
    auto options = std::make_shared<SearchOptions>();
    CLI::App* command = app.add_subcommand(
        "search",
        "One page of the site's search: 20 hits (title, author, duration, BV identifier, "
        "address) and the page label");
    command->add_option("KEYWORD", options->keyword, "What to look for")->required();
    command->add_option("--page", options->page, "The page to show (default 1)")
        ->type_name("N")
        ->check(CLI::Range(1, std::numeric_limits<int>::max()).description(""));
    command->add_flag("--json", options->json, "Write one JSON object");
    command->callback([&chosen, options] {
        chosen = [options](Terminal& terminal) { return runSearchCommand(*options, terminal); };
    });
}

}  // namespace quivra

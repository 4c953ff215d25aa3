#include "search/search_worker.h"

#include <atomic>
#include <system_error>
#include <thread>

#include "net/text_encoding.h"

namespace quivra {

namespace {

std::atomic<int> runningWorkers{0};

void finishSearch(const std::string& keyword, std::uint64_t ticket, SearchState state,
                  SearchView& view) {
    std::vector<SearchHit> hits;
    if (searchRequest(keyword, state, hits) < 0) {
        searchState().fail(ticket);
        view.showMessage(localText("json解析失败，请重试！"));
        return;
    }
    view.showPage(ticket, state, hits);
}

}  // namespace

void runSearch(const std::string& keyword, int page, SearchView& view) {
    SearchState state;
    const std::uint64_t ticket = searchState().begin(page, state);
    finishSearch(keyword, ticket, state, view);
}

// The ticket is taken here, on the triggering thread, so searches are ordered as the
// user started them.
bool startSearchWorker(const std::string& keyword, int page, std::shared_ptr<SearchView> view) {
    SearchState state;
    const std::uint64_t ticket = searchState().begin(page, state);
    ++runningWorkers;
    try {
        std::thread([keyword, ticket, state, view] {
            finishSearch(keyword, ticket, state, *view);
            --runningWorkers;
        }).detach();
        return true;
    } catch (const std::system_error&) {
        --runningWorkers;
        searchState().fail(ticket);
        return false;
    }
}

int runningSearchWorkers() {
    return runningWorkers.load();
}

}  // namespace quivra

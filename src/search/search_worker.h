// The search worker: one thread per search, started by every trigger of the search
// window and not tracked by it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "search/search_request.h"

namespace quivra {

// What a search worker does to its window. The window implements it by handing the call
// to the GUI thread; a test implements it in memory.
class SearchView {
  public:
    virtual ~SearchView() = default;
    // One whole page: rows, label, page box and counts change together, and only when
    // searchState().accept(ticket, answered) agrees at that moment.
    virtual void showPage(std::uint64_t ticket, const SearchState& answered,
                          const std::vector<SearchHit>& hits) = 0;
    // A message box for a failed search; returns once it was dismissed.
    virtual void showMessage(const std::string& text) = 0;
};

// Searches page of keyword (UTF-8, as the search box holds it) on the calling thread: a
// failed request shows "json解析失败，请重试！" and changes nothing on screen.
void runSearch(const std::string& keyword, int page, SearchView& view);

// Starts the search here (current page set, ticket taken) and runs its request on a new
// detached thread. False when no thread could be started.
bool startSearchWorker(const std::string& keyword, int page, std::shared_ptr<SearchView> view);

// Search workers still running (for tests that must let them end).
int runningSearchWorkers();

}  // namespace quivra

// The program-wide search state. It outlives the search window, so a new window still
// validates page jumps against the last accepted answer.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace quivra {

struct SearchState {
    int currentPage = 0;  // page asked for by the last search started
    int pageSize = 0;     // 20 from the first search on
    int pageCount = 0;    // data.numPages of the last accepted answer
    int resultCount = 0;  // data.numResults of the last accepted answer
};

inline constexpr int kSearchPageSize = 20;

// The page label of an answer, "第2页/共50页 1000条", as local text.
std::string searchPageLabel(const SearchState& state);

// The state with the order of the searches: each search gets a ticket when it starts,
// and an answer from a search started before the one on screen is turned away, so
// searches finishing out of order never leave a mix on screen.
class SearchStateRecord {
  public:
    SearchState get() const;

    // A search of page starts: sets the current page and the page size. Returns its
    // ticket and, in started, the state it asks with.
    std::uint64_t begin(int page, SearchState& started);

    // The answer of search ticket arrived with its page and counts. False (and nothing
    // changed) when a search started later is already shown; otherwise the counts are
    // taken over and this search is the one shown.
    bool accept(std::uint64_t ticket, const SearchState& answered);

    // Search ticket failed. When no search started after it, the current page goes
    // back to the page on screen, so paging goes on from what the user sees.
    void fail(std::uint64_t ticket);

  private:
    mutable std::mutex mutex_;
    SearchState state_;
    std::uint64_t lastStarted_ = 0;
    std::uint64_t lastShown_ = 0;
    int shownPage_ = 0;
};

SearchStateRecord& searchState();

}  // namespace quivra

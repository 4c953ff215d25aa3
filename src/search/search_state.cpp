#include "search/search_state.h"

#include "net/text_encoding.h"

namespace quivra {

std::string searchPageLabel(const SearchState& state) {
    return localText("第") + std::to_string(state.currentPage) + localText("页/共") +
           std::to_string(state.pageCount) + localText("页 ") + std::to_string(state.resultCount) +
           localText("条");
}

SearchState SearchStateRecord::get() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::uint64_t SearchStateRecord::begin(int page, SearchState& started) {
    std::lock_guard lock(mutex_);
    state_.currentPage = page;
    state_.pageSize = kSearchPageSize;
    started = state_;
    return ++lastStarted_;
}

bool SearchStateRecord::accept(std::uint64_t ticket, const SearchState& answered) {
    std::lock_guard lock(mutex_);
    if (ticket < lastShown_) return false;
    lastShown_ = ticket;
    shownPage_ = answered.currentPage;
    state_.pageCount = answered.pageCount;
    state_.resultCount = answered.resultCount;
    return true;
}

void SearchStateRecord::fail(std::uint64_t ticket) {
    std::lock_guard lock(mutex_);
    if (ticket == lastStarted_ && lastShown_ != 0) state_.currentPage = shownPage_;
}

SearchStateRecord& searchState() {
    static SearchStateRecord* record = new SearchStateRecord;  // outlives every worker
    return *record;
}

}  // namespace quivra

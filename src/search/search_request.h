// One page of the site's video search. Texts are local text (GBK).
#pragma once

#include <string>
#include <vector>

#include "search/search_state.h"

namespace quivra {

struct SearchHit {
    std::string bvid;
    std::string mid;     // the author's id
    std::string author;  // the author's name
    std::string title;   // highlight tags removed
    std::string pic;     // "https:" + the site's address
    std::string play;
    std::string videoReview;
    std::string favorites;
    std::string review;
    std::string pubdate;  // date text
    std::string duration;
};

// Asks the site for page state.currentPage (state.pageSize hits a page) of keyword
// (UTF-8, as the search box holds it).
// Stores the answer's page count and result count in state and its video hits in hits.
// Returns the number of hits, or -1 when the answer is unusable (state and hits kept).
int searchRequest(const std::string& keyword, SearchState& state, std::vector<SearchHit>& hits);

}  // namespace quivra

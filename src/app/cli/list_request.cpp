#include "app/cli/list_request.h"

#include <cstdlib>
#include <sstream>
#include <string>

#include "base/shared_state.h"

namespace quivra {
namespace {

// The waits of QUIVRA_LIST_WAITS_MS; the usual ones when it is unset or not a list of
// numbers.
ListingTimings listingTimings() {
    ListingTimings timings;
    const char* text = std::getenv("QUIVRA_LIST_WAITS_MS");
    if (text == nullptr || *text == '\0') return timings;
    std::vector<int> waits;
    std::istringstream items(text);
    for (std::string item; std::getline(items, item, ',');) {
        char* end = nullptr;
        const long wait = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || wait < 0 || wait > 600000) return timings;
        waits.push_back(static_cast<int>(wait));
    }
    if (waits.empty()) return timings;
    timings.refusalWaitsMs = waits;
    timings.paceAfterRefusalMs = waits.front();
    return timings;
}

}  // namespace

ListingRequest listingRequestFor(const ListAddress& address) {
    const UserRecord user = sharedState().user.get();
    ListingRequest request;
    request.address = address;
    request.site = sharedState().site;
    request.cookie = user.cookie;
    request.member = user.vip.status;
    request.timings = listingTimings();
    return request;
}

}  // namespace quivra

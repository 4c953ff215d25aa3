// Reading a whole list page by page: signed where the site asks it, waiting out the
// site's refusals, never sending faster than once a second after one.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/records.h"
#include "video/listing/list_address.h"
#include "video/listing/list_entry.h"

namespace quivra {

// How long a listing waits after the site refused a request (-352, -412 or HTTP 412):
// one wait per retry, then it stops; and the least time between requests after a refusal.
struct ListingTimings {
    std::vector<int> refusalWaitsMs{5000, 15000, 45000};
    int paceAfterRefusalMs = 1000;
};

// The signature keys (their mixing key) that the listings of one run share, so that only the
// first fetches the nav answer. Any thread.
class SigningKeys {
  public:
    std::string mixingKey() const;
    void keep(const std::string& mixingKey);
    // Held while one listing fetches the keys, so that the others wait and then find them
    // instead of each fetching its own.
    std::unique_lock<std::mutex> fetching() { return std::unique_lock(fetchMutex_); }

  private:
    std::mutex fetchMutex_;
    mutable std::mutex mutex_;
    std::string mixingKey_;
};

struct ListingRequest {
    ListAddress address;
    SiteAddresses site;
    std::string cookie;   // the login's cookie ("" none): watch later and own private folders
    bool member = false;  // the account has a membership: members-only episodes are available
    ListingTimings timings;
    std::shared_ptr<SigningKeys> keys;  // shared with the run's other listings; null: its own
    bool nameKnown = false;  // the caller knows the list's name: a series' is not asked for
};

// Followed by the window and the command line; called on the listing's thread.
class ListingView {
  public:
    virtual ~ListingView() = default;
    // The list's name, owner and count, as soon as the first page told them.
    virtual void showListInfo(const ListInfo& info) = 0;
    // The entries of one page, in list order, the first having position `first` (from 0).
    virtual void showEntries(size_t first, const std::vector<ListEntry>& entries) = 0;
    // A refused request: the text says how long it waits ("请求过于频繁，N秒后继续").
    virtual void showWaiting(const std::string& text) = 0;
};

struct ListingResult {
    ListInfo info;
    std::vector<ListEntry> entries;  // in list order
    bool complete = false;           // every page was read
    // Why the listing stopped early or failed (local text); "" when complete. An empty
    // list is complete with no entries.
    std::string reason;
};

// Reads the list, page after page, until its end, a failure, or `stop` turning true;
// view (may be null) follows it. Entries are never dropped: a stopped listing returns
// what it read.
ListingResult listVideos(const ListingRequest& request, ListingView* view,
                         const std::atomic<bool>* stop = nullptr);

}  // namespace quivra

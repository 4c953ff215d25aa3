// One check of a subscription: its list read newest first until a video it has seen, each
// new video planned into the download list and noted as seen with its parts, and what the
// check found written back to the subscription.
#pragma once

#include <cstdint>
#include <string>

#include "base/records.h"
#include "download/list/download_queue.h"
#include "download/subscription/subscription.h"
#include "download/subscription/subscription_store.h"
#include "video/listing/video_listing.h"

namespace quivra {

// What the checks of one run share: the store, the list, the run's settings, the listing's
// site, login and waits (with its keys shared by every check), the lease owner, the time.
struct CheckContext {
    SubscriptionStore& store;
    DownloadQueue& queue;
    DownloadSettings settings;
    ListingRequest lists;  // its address is each subscription's
    std::string owner;     // leaseOwner()
    std::int64_t now = 0;  // seconds since the epoch
};

struct CheckOutcome {
    Subscription checked;             // with its last and next check, new count and status
    int newVideos = 0;                // videos whose parts went into the list
    int parts = 0;                    // parts submitted
    std::vector<std::int64_t> items;  // the list's items of those parts
    // Why the check could not finish (local text): the list refused, gone, or another
    // program checking it; "" when it did.
    std::string failure;
    bool leased = true;  // false: another program was checking it, nothing was done
};

CheckOutcome checkSubscription(const Subscription& subscription, CheckContext& context);

// "另一个程序正在检查" (local text).
std::string checkedElsewhereText();

}  // namespace quivra

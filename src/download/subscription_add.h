// A new subscription made from what the user chose: its list read for its name and kind.
#pragma once

#include <string>

#include "base/records.h"
#include "download/subscription/subscription.h"
#include "video/listing/video_listing.h"

namespace quivra {

struct NewSubscription {
    Subscription subscription;  // ready for the store
    std::string failure;        // why it cannot be subscribed (local text); "" when it can
};

// wanted: its address and options, an empty folder standing for the list's folder (as a list
// is downloaded: listDownloadSettings), its interval raised to the least. Reads the list's
// first page only; a text that is not a list's address, or a list the site refuses or does
// not have, is refused with the reason. lists: the site, login and keys; any thread.
NewSubscription describeSubscription(Subscription wanted, ListingRequest lists,
                                     const DownloadSettings& settings);

}  // namespace quivra

// The listing a command asks for: the site of the shared state, the login and membership
// of its user record, and the waits after the site's refusals.
#pragma once

#include "video/listing/video_listing.h"

namespace quivra {

// QUIVRA_LIST_WAITS_MS ("50,50"), which only tests set, shortens the refusal waits; the
// pace after a refusal then is the first of them.
ListingRequest listingRequestFor(const ListAddress& address);

}  // namespace quivra

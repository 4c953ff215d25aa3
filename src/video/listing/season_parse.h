// A season of a show as one parsed video: its episodes are the parts, so the download plan
// puts them into one folder named after the season, NN the episode's number.
#pragma once

#include "video/format_ask.h"
#include "video/listing/video_listing.h"
#include "video/parse_result.h"

namespace quivra {

// The listed season as a parse: video title the season's, one row per episode in order
// (page its number, part its title, episodeId set), the qualities from the first episode
// that can be downloaded, asked with `ask`. Listing is a season's (ListKind::Season).
ParseResult parseSeason(const ListingResult& listing, const FormatAsk& ask);

}  // namespace quivra

// What one parse found. The main window shows it; the download plan, the row states, the
// batch and the command line take the parts and the texts from it.
#pragma once

#include <string>
#include <vector>

#include "base/records.h"

namespace quivra {

// Why a parse listed nothing.
enum class ParseFailure {
    None,
    NoIdentifier,  // the text holds no address, BV identifier or av number
    UnknownVideo,  // the site answered that it knows no such video
    Unusable,      // no answer, or an answer that could not be used
    NoParts,       // the site answered with a video that lists no part
};

struct ParseResult {
    // The parsed video: bvid is set once an identifier was found; after a failed request
    // the main window's parse keeps the other fields of its previous video.
    VideoRecord video;
    // The qualities offered; count -1 and no entries when the quality request failed. Only
    // the main window's parse asks for them when the video listed no part.
    QualityList qualities;
    // The listed rows, in order, at most kMaxListedParts; empty after a failure.
    std::vector<PageEntry> rows;
    ParseFailure failure = ParseFailure::None;
    // Why (local text): the no-identifier message, or why the answer was unusable; "" when
    // the site answered. The texts shown are made from it (parseText).
    std::string reason;
};

}  // namespace quivra

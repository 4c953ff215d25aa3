// What one parse found. The main window shows it; the download buttons, the row states
// and the command line take the parts from it.
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
    Unusable,      // no answer, an answer that could not be used, or a video without parts
};

struct ParseResult {
    // The parsed video: bvid is set once an identifier was found; after a failed request
    // the other fields are the previous video's, as in the shared record.
    VideoRecord video;
    // The qualities offered; count -1 and no entries when the quality request failed.
    QualityList qualities;
    // The listed rows, in order, at most kMaxListedParts; empty after a failure.
    std::vector<PageEntry> rows;
    ParseFailure failure = ParseFailure::None;
    // What the window showed for the failure (local text): the message box's text, or the
    // status line ("解析失败：" and the reason). "" without a failure.
    std::string failureText;
};

}  // namespace quivra

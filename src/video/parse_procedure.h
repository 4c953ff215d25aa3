// The parse: what the user typed becomes a filled main window and a ParseResult.
#pragma once

#include <string>

#include "video/parse_result.h"
#include "video/parse_view.h"

namespace quivra {

// Runs on the parse thread: parseVideo of the address (local text, read from the address
// box on the GUI thread when 解析 was pressed), drawn through view: the message, or the
// quality items, rows and status line. The shared video record and quality list are each
// replaced in one step; a failed request keeps the previous video's fields. Returns what
// the parse found; the window keeps it for the download buttons and its rows' states.
ParseResult runParse(ParseView& view, const std::string& address);

}  // namespace quivra

// The parse: what the user typed becomes a filled main window and a ParseResult.
#pragma once

#include "video/parse_result.h"
#include "video/parse_view.h"

namespace quivra {

// Runs on the parse thread: identifier, video information, quality list, rows and status
// line, every window effect through view. The shared video record and quality list are
// each replaced in one step. Returns what the parse found; the window keeps it for the
// download buttons and its rows' states, the command line binds its parts from it.
ParseResult runParse(ParseView& view);

}  // namespace quivra

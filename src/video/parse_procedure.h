// The parse: what the user typed becomes a filled main window.
#pragma once

#include "video/parse_view.h"

namespace quivra {

// Runs on the parse thread: identifier, video information, quality list, rows and status
// line, every window effect through view. The shared video record and quality list are
// each replaced in one step.
void runParse(ParseView& view);

}  // namespace quivra

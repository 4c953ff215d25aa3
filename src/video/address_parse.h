// The parse of one address as a value, with no window: what the batch window and the
// search window's download items take the parts from.
#pragma once

#include <string>

#include "video/parse_result.h"

namespace quivra {

// What runParse finds for the address (local text), the same failures and texts, without
// a view and without writing the shared video record or quality list: two may run at once,
// and the main window keeps its own parse.
ParseResult parseAddress(const std::string& address);

}  // namespace quivra

// info LIST: a whole list of videos written as the listing goes on.
#pragma once

#include "app/cli/output.h"
#include "video/listing/list_address.h"

namespace quivra {

// The list's name, owner and count, then a line (or with json a JSON object) per video.
// Returns the exit status: 1 with the reason when the listing stopped early, 3 for an
// address that names no list the site can have.
int runListInfo(const ListAddress& address, bool json, Terminal& terminal);

}  // namespace quivra

// Which row of the main window's list shows a part: an item's state goes to that row and
// no other.
#pragma once

#include "download/list/download_item.h"
#include "video/parse_result.h"

namespace quivra {

// The row (from 0) of the parse that lists the part, -1 when none does: the row of its
// page number, when it lists the same video and cid.
int rowOfPart(const ParseResult& parsed, const DownloadRequest& part);

}  // namespace quivra

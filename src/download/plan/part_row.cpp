#include "download/plan/part_row.h"

namespace quivra {

int rowOfPart(const ParseResult& parsed, const DownloadRequest& part) {
    const int row = part.pageNumber - 1;
    if (row < 0 || row >= static_cast<int>(parsed.rows.size())) return -1;
    const bool same = part.bvid == parsed.video.bvid && part.cid == parsed.rows[row].cid;
    return same ? row : -1;
}

}  // namespace quivra

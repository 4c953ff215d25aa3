// Parts of a parsed video bound to download requests: the main window's rows and the
// command line's parts end in the same requests and the same submit.
#pragma once

#include <string>
#include <vector>

#include "base/records.h"
#include "download/download_item.h"

namespace quivra {

// What a request takes besides the part: the folder and the chosen streams.
struct PartChoice {
    std::string directory;  // local text
    int videoQuality = -1;
    int audioQuality = -1;
};

// The part listed as row `row` (from 0) with its "标题" and cid, of the video; the quality
// name comes from the shared quality list.
DownloadRequest bindPart(const VideoRecord& video, const PartChoice& choice, int row,
                         const std::string& pageTitle, const std::string& cid);

// Every part of the video as the list shows them, in order.
std::vector<DownloadRequest> bindVideoParts(const VideoRecord& video, const PartChoice& choice);

}  // namespace quivra

// The video's cover picture: fetched once per video and kept as cover.jpg in the video's
// folder (cover_<BV>.jpg in a folder the file names' template gives several videos), where
// every part's merge finds it.
#pragma once

#include <string>

#include "download/list/download_item.h"

namespace quivra {

// <video folder>/cover.jpg (local text), the folder of the part's output; in a folder not
// named after the video (its title or BV identifier), <folder>/cover_<BV>.jpg.
std::string coverPath(const DownloadRequest& part);

// The part's cover as a JPEG file, fetched from part.coverAddress when the video's folder
// holds none yet; jobs of the video's other parts, in this program or another, wait for
// the one that fetches it. "" when the part was bound without a cover, or the cover
// could not be fetched (no answer, not 200, larger than an answer may be, not a JPEG) or
// saved: the MP4 is then made without it. The file appears whole or not at all.
std::string fetchVideoCover(const DownloadRequest& part);

}  // namespace quivra

// The tags a part's MP4 carries, as the merge writes them with -metadata: what a media
// library shows instead of the file name.
#pragma once

#include <string>
#include <vector>

#include "download/list/download_item.h"

namespace quivra {

struct MetadataTag {
    std::string key;    // ffmpeg's name of the tag ("title", "artist", ...)
    std::string value;  // UTF-8
};

// A description longer than this many bytes of UTF-8 is cut at a character's start.
inline constexpr std::size_t kMaxDescriptionBytes = 2000;

// title (the part's name, or the video's title for a one-part video), artist, album and
// track (NN/parts) for a video of several parts or an episode, date, comment (the video's
// or episode's page), description; empty values are left out. Nothing when the part was bound
// without tags.
std::vector<MetadataTag> partTags(const DownloadRequest& part);

}  // namespace quivra

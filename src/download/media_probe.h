// What ffprobe reads from a media file: how a merge is checked before it counts as done.
// Paths are UTF-8.
#pragma once

#include <string>

namespace quivra {

struct MediaSummary {
    int videoStreams = 0;  // an attached cover picture is none of them
    int audioStreams = 0;
    double seconds = -1;  // the container's duration; -1 when unknown
};

// Nothing counted when ffprobe is missing or cannot read the file.
MediaSummary probeMedia(const std::string& path);

// The length in seconds of the longer of a part's two streams; -1 when either is unknown.
double longerStreamSeconds(const std::string& videoPath, const std::string& audioPath);

// Whether a merged file is whole: exactly one video and one audio stream, lasting about
// as long as the longer of the two streams it was made from (streamSeconds).
bool isWholeMerge(const std::string& mergedPath, double streamSeconds);

}  // namespace quivra

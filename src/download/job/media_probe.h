// What a media file holds, read in this process with libavformat: how a merge is checked
// before it counts as done. Paths are UTF-8.
#pragma once

#include <string>

namespace quivra {

struct MediaSummary {
    int videoStreams = 0;  // moving pictures; a cover is not one of them
    int audioStreams = 0;
    int pictureStreams = 0;  // attached pictures (a cover)
    int subtitleStreams = 0;
    int chapters = 0;
    double seconds = -1;  // the container's duration; -1 when unknown
    // The length of the first video and the first audio stream; -1 when unknown.
    double videoSeconds = -1;
    double audioSeconds = -1;
    // The first video stream's frame in pixels; 0 when unknown.
    int width = 0;
    int height = 0;
};

// Nothing counted when the file cannot be opened or read as media, or libavformat is
// missing.
MediaSummary probeMedia(const std::string& path);

// What a merge carries besides its streams.
struct MergeCarries {
    int subtitleTracks = 0;
    bool chapters = false;
    // A track that may last past the streams: the bullet comments, whose last ones fly on
    // after the video ends.
    bool outlastingTrack = false;
};

// Whether a merged file is whole: exactly one video stream, or none when the video path
// is empty, and likewise one audio stream or none (beside at most one cover picture), the
// subtitle tracks and chapters it was to carry, the
// whole lasting about as long as the longest stream file it was made from (at least as long
// with an outlasting track), and each
// stream about as long as its file's, so that none was cut short on the way.
bool isWholeMerge(const std::string& mergedPath, const std::string& videoPath,
                  const std::string& audioPath, MergeCarries carries = {});

}  // namespace quivra

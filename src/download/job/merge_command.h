// Putting a part's video and audio streams into one MP4 with ffmpeg, without
// re-encoding. Paths are UTF-8 (they go to the command line as they are).
#pragma once

#include <string>
#include <vector>

#include "download/job/merge_tags.h"

namespace quivra {

// The text in single quotes for /bin/sh; each ' inside becomes '\''.
std::string shellQuote(const std::string& text);

// The merge writes "<output>" + this first and renames it once it is whole.
inline constexpr const char* kPartSuffix = ".part";

// What the MP4 carries besides the two streams (UTF-8).
struct MergeExtras {
    std::vector<MetadataTag> tags;
    std::string coverPath;  // a JPEG attached as the cover picture; "": none
};

// ffmpeg -xerror -y -loglevel error -i 'file:<video>' -i 'file:<audio>' -vcodec copy
// -acodec copy -f mp4 'file:<target>' (-xerror: a failed write, even of the index at the
// end, makes ffmpeg fail instead of exiting with 0). A cover comes in as a third input,
// copied too and marked as the attached picture; each tag is one -metadata 'key=value'.
// Every text is quoted: nothing in a title runs.
std::string mergeCommandLine(const std::string& videoPath, const std::string& audioPath,
                             const std::string& targetPath, const MergeExtras& extras = {});

// Merges into "<output>.part" beside the output and renames it only once it is whole:
// there was room for at least both streams before ffmpeg started, ffmpeg exited with 0,
// the file reached the disk (fsync) and it holds one video and one audio stream
// each lasting as long as its stream file. False when anything failed; then no file is left
// under either name and both streams stay as they were.
bool mergeStreams(const std::string& videoPath, const std::string& audioPath,
                  const std::string& outputPath, const MergeExtras& extras = {});

}  // namespace quivra

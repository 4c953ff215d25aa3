// Putting a part's video and audio streams into one MP4 with ffmpeg, without
// re-encoding. Paths are UTF-8 (they go to the command line as they are).
#pragma once

#include <string>

namespace quivra {

// The text in single quotes for /bin/sh; each ' inside becomes '\''.
std::string shellQuote(const std::string& text);

// ffmpeg -y -loglevel error -i 'file:<video>' -i 'file:<audio>' -vcodec copy -acodec copy
// -f mp4 'file:<target>'
std::string mergeCommandLine(const std::string& videoPath, const std::string& audioPath,
                             const std::string& targetPath);

// Merges into "<output>.part" beside the output and renames it once ffmpeg has exited
// with 0 and written a file. False when anything failed; then no file is left under
// either name and both streams stay as they were.
bool mergeStreams(const std::string& videoPath, const std::string& audioPath,
                  const std::string& outputPath);

}  // namespace quivra

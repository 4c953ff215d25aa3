// Putting a part's streams into its file with ffmpeg, without re-encoding: video and
// audio, or either alone, in the container the output's extension names (output_format.h).
// Paths are UTF-8 (they go to the command line as they are).
#pragma once

#include <string>
#include <vector>

#include "download/job/merge_tags.h"
#include "download/plan/output_format.h"

namespace quivra {

// The text in single quotes for /bin/sh; each ' inside becomes '\''.
std::string shellQuote(const std::string& text);

// The merge writes "<output>" + this first and renames it once it is whole.
inline constexpr const char* kPartSuffix = ".part";

// Whether the format takes subtitle tracks and chapters: MP4 and MKV, not audio alone.
bool carriesTextTracks(OutputFormat format);

// A SubRip file that becomes a text track (UTF-8).
struct SubtitleInput {
    std::string path;
    std::string language;  // ISO 639-2 ("chi")
    std::string title;     // the track's name
};

// What the file carries besides its streams (UTF-8). Subtitles and chapters go only into
// MP4 and MKV.
struct MergeExtras {
    std::vector<MetadataTag> tags;
    std::string coverPath;                 // a JPEG attached as the cover picture; "": none
    std::vector<SubtitleInput> subtitles;  // mov_text in MP4, SubRip in MKV
    std::string chaptersPath;              // an ffmetadata file of chapters; "": none
    // The bullet comments' ASS, kept as ASS, as the last subtitle track (language "chi",
    // titled 弹幕); only MKV takes it. "": none.
    std::string danmakuPath;
};

// ffmpeg -xerror -y -loglevel error -i 'file:<video>' -i 'file:<audio>' -vcodec copy
// -acodec copy -f mp4 'file:<target>' (-xerror: a failed write, even of the index at the
// end, makes ffmpeg fail instead of exiting with 0). A cover comes in as one more input,
// copied too and marked as the attached picture, or for MKV as an attachment; each tag is
// one -metadata 'key=value'. Each subtitle is one more input, mapped, converted to the
// container's text format and tagged with its language and title; the chapters come from
// their ffmetadata input by -map_chapters; the bullet comments' ASS is copied as it is. An empty
// video or audio path leaves that stream out. The muxer follows the format: mp4 for MP4 and M4A (it
// takes AAC and E-AC-3 alike), matroska, flac. Every text is quoted: nothing in a title runs.
std::string mergeCommandLine(const std::string& videoPath, const std::string& audioPath,
                             const std::string& targetPath, const MergeExtras& extras = {},
                             OutputFormat format = OutputFormat::Mp4);

// Merges into "<output>.part" beside the output, in the format its extension names (MP4
// for another), and renames it only once it is whole: there was room for at least the
// streams before ffmpeg started, ffmpeg exited with 0, the file reached the disk (fsync)
// and it holds the given streams, one each, each lasting as long as its stream file (an
// empty path: none of that kind), the subtitle tracks and chapters it was given (for MP4
// and MKV), and no finished file has the output's name (it is never
// replaced). False when anything failed; then no file is left under the part name, the
// output's name keeps what it held and the streams stay as they were.
bool mergeStreams(const std::string& videoPath, const std::string& audioPath,
                  const std::string& outputPath, const MergeExtras& extras = {});

}  // namespace quivra

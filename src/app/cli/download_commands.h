// The commands that use the download list: get, list and resume. Both programs read their
// options (command line, help, man page, completion); they run in
// quivra-downloader-downloads, the one command program that loads the download engine and
// downloads.db. In quivra-downloader these functions hand the process over to it.
#pragma once

#include <string>
#include <vector>

#include "app/cli/output.h"
#include "base/settings_table.h"
#include "video/audio_choices.h"
#include "video/listing/entry_filter.h"

namespace quivra {

struct GetOptions {
    std::vector<std::string> addresses;  // UTF-8, as typed; "-" reads them from standard input
    std::string input;                   // a file of addresses (UTF-8 path); "": none
    std::string quality;                 // an id or a name (UTF-8); "": the default quality
    int audio = -1;                      // the site's audio stream id; -1: the default one
    std::vector<int> parts;              // part numbers from 1, ascending; empty: all
    EntryFilter entries;  // the videos of a list: --items, --since, --until, --match (local text)
    std::string folder;   // UTF-8; "": the stored download folder
    int threads = 0;      // 0: the stored number
    bool json = false;
    bool noTags = false;               // no tags in the MP4s, whatever the settings say
    bool noCover = false;              // no cover fetched, saved or attached
    std::string codecs;                // --codec, checked ("hevc,av1,avc"); "": the stored order
    bool audioOnly = false;            // the parts' audio alone, whatever the settings say
    bool videoOnly = false;            // their video alone
    std::string container;             // "mp4" or "mkv"; "": the stored one
    std::string nameTemplate;          // --output, checked (UTF-8); "": the stored 文件名格式
    bool keepTitleCharacters = false;  // --keep-title-characters
    std::string subtitles;             // --subtitles, checked: "all", "none" or tags; "": stored
    bool subtitlesOnly = false;        // only the .srt files
    bool nfo = false;                  // --nfo: .nfo files for media libraries
    bool now = false;                  // --now: the download window does not hold the parts
    bool danmaku = false;              // --danmaku: the bullet comments' two files
    bool danmakuOnly = false;          // only those files
};

struct ListOptions {
    bool json = false;
};

struct ResumeOptions {
    bool json = false;
};

// -o, -j, --no-tags, --no-cover, --codec, --audio-only, --video-only, --container, --output
// --keep-title-characters, --subtitles, --nfo, --danmaku and --now: the settings' rows they
// override for this run.
std::vector<SettingChange> settingOverrides(const GetOptions& options);

// Each returns the exit status (exit_status.h).
int runGet(const GetOptions& options, Terminal& terminal);
int runList(const ListOptions& options, Terminal& terminal);
int runResume(const ResumeOptions& options, Terminal& terminal);

}  // namespace quivra

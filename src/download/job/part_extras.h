// What comes with a part besides its streams: the uploader's subtitles, written as
// "<file name>.<lan>.srt" beside the part's file, and the site's view points as chapters.
// Whatever cannot be had is left out with a text that says so; the part downloads anyway.
#pragma once

#include <string>
#include <vector>

#include "download/job/merge_command.h"
#include "download/list/download_item.h"
#include "video/comments/comment_requests.h"

namespace quivra {

struct PartExtras {
    std::vector<SubtitleInput> subtitles;  // the .srt files written, in the site's order
    std::string chaptersPath;              // an ffmetadata file in temp/ (UTF-8); "": none
    std::vector<std::string> leftOut;      // what was left out and why (local text)
    bool answered = false;                 // the player information came and was the part's
};

// The .srt beside the part's file for the site's language tag (local text).
std::string subtitlePath(const DownloadRequest& part, const std::string& lan);

// Where a part's requests for what comes with it go: the site of the shared state, with
// its login cookie.
CommentSource partCommentSource(std::shared_ptr<SigningKeys> keys = nullptr);

// Reads the part's player information from the site of the shared state, with its cookie,
// and writes the subtitles the part wants and, when chapters is set, its chapters file.
// videoSeconds: the stream's real length; a cue or chapter past it is cut or dropped
// (0: no limit).
PartExtras fetchPartExtras(const DownloadRequest& part, double videoSeconds, bool chapters,
                           std::shared_ptr<SigningKeys> keys);

// The chapters as an ffmetadata file: a millisecond time base, each title escaped.
std::string chaptersMetadata(const std::vector<Chapter>& chapters);

}  // namespace quivra

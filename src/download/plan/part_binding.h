// Parts of a parsed video bound to download requests: the main window's rows and the
// command line's parts end in the same requests and the same submit.
#pragma once

#include <string>
#include <vector>

#include "base/records.h"
#include "download/list/download_item.h"
#include "video/parse_result.h"

namespace quivra {

// What a request takes besides the part: the folder, the chosen streams and what the MP4
// carries besides them.
struct PartChoice {
    std::string directory;  // local text
    int videoQuality = -1;
    int audioQuality = -1;
    bool tags = true;   // the video's title, author, date ... as tags
    bool cover = true;  // its cover picture, also saved as cover.jpg
};

// The part listed as row `row` (from 0, below parsed.rows.size()) of the parse; the
// quality name comes from the parse's quality list.
DownloadRequest bindPart(const ParseResult& parsed, const PartChoice& choice, int row);

// Every listed part of the parse, in order.
std::vector<DownloadRequest> bindVideoParts(const ParseResult& parsed, const PartChoice& choice);

// The row (from 0) of the parse that lists the part, -1 when none does: the row of its
// page number, when it lists the same video and cid. The window shows an item's state in
// that row and no other.
int rowOfPart(const ParseResult& parsed, const DownloadRequest& part);

// Makes the folders a download of the video needs, as the download buttons do:
// <directory>/<video folder> and <directory>/temp. Returns "" or the buttons' message
// (local text).
std::string makeVideoFolders(const std::string& directory, const VideoRecord& video);

// Whether the account may download the quality: the available flag of the first entry of
// the quality list (up to its count) with that number; false when there is none.
bool isQualityAvailable(const QualityList& qualities, int quality);
// The message that refuses a quality the account may not download (local text).
std::string memberQualityMessage();

}  // namespace quivra

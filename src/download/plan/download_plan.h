// What a download of a parsed video makes: the one place where parts become the requests
// the download list takes, for the buttons, the batch and search windows and `get`.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/records.h"
#include "download/list/download_item.h"
#include "video/parse_result.h"

namespace quivra {

struct PartSelection {
    std::optional<std::vector<int>> rows;  // rows of the parse (from 0); none: every row
    // The site's quality number, below 0 when none was chosen; none: the settings' default.
    std::optional<int> videoQuality;
    std::optional<int> audioQuality;  // the site's audio stream id; none: the default
    std::string listName = {};   // the list the video is downloaded from (local text); "": none
    bool subtitlesOnly = false;  // the parts' .srt files alone
    bool danmakuOnly = false;    // the parts' bullet-comment files alone
};

struct DownloadPlan {
    std::vector<DownloadRequest> requests;  // for the download list, in row order
    std::vector<DownloadRequest> done;      // chosen parts whose MP4 is there already
    std::string refusal;                    // why nothing is planned (local text); "" if planned
};

// settings: folder, 写入视频信息, 保存封面 and default qualities, the run's own choices
// applied by the caller; siteAddress: the site's main page (UTF-8), under which the tags
// name the video's page. Refused, with the buttons' messages, when the parse lists no part,
// no quality is chosen or the folders cannot be made. Each part's file is named by the
// settings' 文件名格式, a name an earlier row took made distinct. The files decide: a
// chosen part whose file is there (for the bullet comments alone, both of theirs) is done,
// every other one is requested.
DownloadPlan planDownloads(const ParseResult& parsed, const PartSelection& selection,
                           const DownloadSettings& settings, const std::string& siteAddress);

}  // namespace quivra

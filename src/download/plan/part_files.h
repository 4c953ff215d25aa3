// The files a part makes beside its own, named after it, and whether a part already has
// what it asks for. Paths are local text.
#pragma once

#include <string>

#include "download/list/download_item.h"

namespace quivra {

// The part's file's path without its extension, then the suffix: "01_a" + ".zh-CN.srt".
std::string besidePartFile(const DownloadRequest& part, const std::string& suffix);

// NN_name.danmaku.xml (the site's comments) and NN_name.danmaku.ass (drawn from them).
std::string danmakuXmlPath(const DownloadRequest& part);
std::string danmakuAssPath(const DownloadRequest& part);

// Only the subtitles or the bullet comments: no streams, no merge.
bool wantsExtrasOnly(const DownloadRequest& part);

// The part's file is there, or for the bullet comments alone both of theirs. Subtitles
// alone never are: which languages come is known only by asking the site.
bool isPartDone(const DownloadRequest& part);

}  // namespace quivra

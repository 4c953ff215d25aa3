// The download list at the start of a program (the windows or the command line).
#pragma once

#include <string>

namespace quivra {

// Opens downloads.db beside config.ini and makes its items the current download queue on
// the program's pool; parts left unfinished come back paused. Returns the message to show
// when a broken store was moved aside, or "" (local text).
std::string openDownloadList();

// Once the pool runs: the parts the last run left unfinished continue when the setting
// 启动时继续未完成的下载 ([download] resumeOnStart) is on; otherwise they stay paused.
void resumeUnfinishedDownloads();

}  // namespace quivra

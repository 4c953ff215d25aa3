// The parts of the start sequence that need no windows.
#pragma once

#include <QString>

#include <string>

namespace quivra {

// programDirectory + "/skin/简约白.qss" (UTF-8 path).
std::string skinFilePath(const std::string& programDirectory);

// The style sheet in the file, or "" when the file is missing, unreadable, larger than
// 1 MiB or not UTF-8 text: the program then keeps the plain look.
QString loadSkinSheet(const std::string& path);

// Opens downloads.db beside config.ini and makes its items the current download queue on
// the program's pool. Returns the message to show when a broken store was moved aside,
// or "" (local text).
std::string openDownloadList();

// Once the pool runs: the parts the last run left unfinished continue when the setting
// 启动时继续未完成的下载 is on (otherwise they stay paused), and a finished video brings a
// desktop notification.
void startDownloadList();

}  // namespace quivra

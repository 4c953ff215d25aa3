// The parts of the start sequence that need no windows.
#pragma once

#include <QString>

#include <string>

namespace quivra {

struct DownloadCore;

// programDirectory + "/skin/简约白.qss" (UTF-8 path).
std::string skinFilePath(const std::string& programDirectory);

// The style sheet in the file, or "" when the file is missing, unreadable, larger than
// 1 MiB or not UTF-8 text: the program then keeps the plain look.
QString loadSkinSheet(const std::string& path);

// Once the pool runs and the store is open (openDownloadList): a finished video brings a
// desktop notification, and the parts left unfinished continue as the setting says
// (resumeUnfinishedDownloads).
void startDownloadList(DownloadCore& core);

// Once the list is started: the subscriptions are checked as they come due (those overdue
// at once), each check that found videos bringing a desktop notification. Without a store
// to read them from there are none (the 订阅 window says so).
void startSubscriptions(DownloadCore& core);

}  // namespace quivra

// How the commands show a part of the download list: its label, its state text and its
// JSON object. Texts are UTF-8.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "download/list/download_item.h"

namespace quivra {

// "<bvid> <title>: <n> parts, <quality>": a video whose parts were handed to the list.
std::string videoLine(const DownloadRequest& firstPart, int parts);

// "NN name": the part's number and its "标题".
std::string partLabel(const DownloadItem& item);

// The state the part shows: the job's latest "状态" text while it runs, else the list's
// text for its state ("等待下载", "下载完成", the reason of a failure).
std::string partStateText(const DownloadItem& item);

// Whether the item's latest change was only the progress of a transfer.
bool isProgressOnly(const DownloadItem& item);

// id, bvid, title, number, name, quality, qualityName, audio, state (queued, running,
// paused, merging, done, failed, cancelled), text, bytesDone, bytesTotal, speed, file,
// error, createdAt, finishedAt.
nlohmann::ordered_json partJson(const DownloadItem& item);

}  // namespace quivra

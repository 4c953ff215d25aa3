// Downloading what a listing found: each chosen video parsed and planned into a folder
// named after the list, a season's chosen episodes planned as the parts of one folder.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/records.h"
#include "download/batch_download.h"
#include "video/listing/video_listing.h"

namespace quivra {

// The settings with the download folder set to <folder>/<the list's name, cleaned as video
// folders are> ("视频列表" for a name that cleans to nothing). A season is a video folder
// itself, and a 文件名格式 with {listName} places the list itself: their settings stay.
DownloadSettings listDownloadSettings(DownloadSettings settings, const ListInfo& info);

// Starts the downloads of the chosen entries (indexes into listing.entries) at the default
// qualities, two parses at a time; the view hears each chosen entry's state by its index in
// `chosen` ("已加入N个分P", the parse's text, or why the entry cannot be downloaded). A
// season is parsed once (parseSeason) and its chosen episodes planned as its rows.
// siteAddress: the site's main page (UTF-8).
std::shared_ptr<BatchRun> startListDownload(const ListingResult& listing,
                                            const std::vector<size_t>& chosen,
                                            DownloadSettings settings, std::string siteAddress,
                                            std::shared_ptr<DownloadQueue> queue,
                                            std::shared_ptr<BatchView> view);

// A list address of a batch, row `row`, as a task of its run: listed with `request` (the
// row says how far: "已列出N/总数", the site's waits), then every video it can download
// added into the list's folder by a task of the run each ("正在加入N/总数"), a season's
// episodes as the rows of its one parse. The row ends with the parts added ("已加入N个分P"),
// the videos that failed, and why the listing stopped early.
void addListAddress(BatchRun& run, size_t row, const ListingRequest& request,
                    const DownloadSettings& settings, DownloadQueue& queue, BatchView& view);

}  // namespace quivra

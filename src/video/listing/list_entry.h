// What a listing found: the list's name and one entry per video (or episode).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "video/listing/list_address.h"

namespace quivra {

struct ListEntry {
    std::string bvid;
    std::string aid;
    std::string title;           // local text, as the site gives it (not cleaned)
    std::string owner;           // local text; "" where the answer gives none
    std::string cover;           // the picture's address
    int durationSeconds = -1;    // -1: not given
    std::int64_t published = 0;  // seconds since the epoch; 0: not given
    int parts = 0;               // 分P数 where the answer gives it; 0: not given
    // Why it cannot be downloaded (local text): a removed video ("已失效视频"), not a
    // video, an episode for members only and no membership; "" when it can.
    std::string unavailable;
    // An episode of a season: its ep number, cid, badge ("会员" …) and its number in the
    // season counted from 1; empty / 0 for videos.
    std::string episodeId;
    std::string cid;
    std::string badge;
    int episodeNumber = 0;
};

struct ListInfo {
    ListKind kind = ListKind::Uploader;
    std::string name;   // local text: the uploader's name, the folder's, collection's, series' or
                        // season's title, "稍后再看"
    std::string owner;  // local text; "" where the list has none
    int total = -1;     // the count the site gives; -1 until known
    std::string cover;  // the season's cover; else ""
    std::string description;  // the season's evaluate; else ""
    std::string seasonId;     // the season's id as its answer gives it; else ""
};

}  // namespace quivra

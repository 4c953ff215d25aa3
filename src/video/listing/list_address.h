// Addresses that name a whole list of videos rather than one: an uploader's videos, a
// favourites folder, a collection, a series, the watch-later list, a season of a show.
#pragma once

#include <optional>
#include <string>

#include "base/records.h"

namespace quivra {

enum class ListKind { Uploader, Favourites, Collection, Series, WatchLater, Season };

struct ListAddress {
    ListKind kind = ListKind::Uploader;
    std::string ownerMid;  // the uploader's mid (uploader, collection, series); else ""
    // media_id (favourites), season_id (collection), series_id (series), the season's ss
    // number or the episode's ep number (season, see byEpisode); "" for watch later
    std::string id;
    bool byEpisode = false;  // a season named by one of its episodes (ep…)
    // Why the address cannot be listed (local text), e.g. an id that is not a number;
    // "" when it can.
    std::string problem;
};

// The list the text (local text) names, on any of the site's hosts (scheme optional) or
// in its short forms ml…, ep…, ss…; nullopt when it names none. A text holding a BV
// identifier or an av number is a single video and never a list.
std::optional<ListAddress> recognizeListAddress(const std::string& text, const SiteAddresses& site);

// "UP主投稿", "收藏夹", "合集", "列表", "稍后再看", "番剧" (local text).
std::string listKindName(ListKind kind);

}  // namespace quivra

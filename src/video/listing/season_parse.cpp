#include "video/listing/season_parse.h"

#include <string>
#include <utility>

#include "base/date_text.h"
#include "video/stream_formats.h"
#include "video/title_cleaning.h"

namespace quivra {

namespace {

PageEntry episodeRow(const ListEntry& entry, size_t index) {
    PageEntry row;
    row.cid = entry.cid;
    row.page = std::to_string(entry.episodeNumber > 0 ? static_cast<size_t>(entry.episodeNumber)
                                                      : index + 1);
    row.part = entry.title;
    row.duration = entry.durationSeconds >= 0 ? formatDuration(entry.durationSeconds) : "";
    row.episodeId = entry.episodeId;
    return row;
}

// The first episode this account may download, or nullptr.
const ListEntry* firstAvailableEpisode(const std::vector<ListEntry>& entries) {
    for (const ListEntry& entry : entries) {
        if (entry.unavailable.empty()) return &entry;
    }
    return nullptr;
}

}  // namespace

ParseResult parseSeason(const ListingResult& listing, const FormatAsk& ask) {
    ParseResult result;
    const ListInfo& info = listing.info;
    const std::vector<ListEntry>& episodes = listing.entries;
    VideoRecord& video = result.video;
    video.siteTitle = info.name;
    video.title = cleanTitle(info.name);
    video.desc = info.description;
    video.seasonId = info.seasonId;
    video.pic = info.cover;
    video.owner.name = info.owner;
    video.videos = static_cast<int>(episodes.size());
    if (episodes.empty()) {
        result.failure = listing.reason.empty() ? ParseFailure::NoParts : ParseFailure::Unusable;
        result.reason = listing.reason;
        return result;
    }
    // The first episode's BV groups the season as one video and names its folder when the
    // season's title cleans to nothing.
    video.bvid = episodes.front().bvid;
    if (episodes.front().published > 0) {
        video.stat.pubdate = timestampToDate(std::to_string(episodes.front().published));
    }
    video.pages.reserve(episodes.size());
    for (size_t i = 0; i < episodes.size(); ++i) video.pages.push_back(episodeRow(episodes[i], i));
    result.rows = video.pages;

    const ListEntry* first = firstAvailableEpisode(episodes);
    video.cid = (first != nullptr ? *first : episodes.front()).cid;
    if (first != nullptr) {
        result.qualities = fetchEpisodeQualityList(first->episodeId, first->cid, ask);
    } else {
        result.qualities.count = -1;
    }
    return result;
}

}  // namespace quivra

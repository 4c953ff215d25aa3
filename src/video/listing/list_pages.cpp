#include "video/listing/list_pages.h"

#include <algorithm>

#include "base/config_file.h"
#include "net/text_encoding.h"
#include "net/text_helpers.h"
#include "video/member_message.h"

namespace quivra {
namespace {

constexpr int kUploaderPageSize = 30;
constexpr int kFavouritesPageSize = 20;
constexpr int kCollectionPageSize = 30;
constexpr int kSeriesPageSize = 20;

// A number of the answer; -1 when it is missing or not a number.
int numberOr(const JsonObject& json, const std::string& path, int missing = -1) {
    const std::string text = json.valueText(path);
    if (text.empty() || text.find_first_not_of("-0123456789") != std::string::npos) return missing;
    return textToInteger(text);
}

std::int64_t timestampAt(const JsonObject& json, const std::string& path) {
    const std::string text = json.valueText(path);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::stoll(text.substr(0, 18));
}

// "MM:SS" or "H:MM:SS" in seconds; -1 for anything else.
int clockSeconds(const std::string& text) {
    if (text.empty() || std::count(text.begin(), text.end(), ':') > 2) return -1;
    int seconds = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t colon = text.find(':', start);
        if (colon == std::string::npos) colon = text.size();
        const std::string field = text.substr(start, colon - start);
        if (field.empty() || field.size() > 4 ||
            field.find_first_not_of("0123456789") != std::string::npos) {
            return -1;
        }
        seconds = seconds * 60 + std::stoi(field);
        start = colon + 1;
    }
    return seconds;
}

std::string item(const std::string& array, int index) {
    return array + "[" + std::to_string(index) + "]";
}

// The fields every kind of video entry shares under these member names.
ListEntry archiveEntry(const JsonObject& json, const std::string& at) {
    ListEntry entry;
    entry.aid = json.valueText(at + ".aid");
    entry.bvid = json.getText(at + ".bvid");
    entry.title = json.getText(at + ".title");
    entry.cover = json.getText(at + ".pic");
    entry.durationSeconds = numberOr(json, at + ".duration");
    entry.published = timestampAt(json, at + ".pubdate");
    return entry;
}

void readUploader(const JsonObject& json, ListPage& page) {
    const std::string list = "data.list.vlist";
    const int count = json.count(list);
    for (int i = 0; i < count; ++i) {
        const std::string at = item(list, i);
        ListEntry entry = archiveEntry(json, at);
        entry.owner = json.getText(at + ".author");
        entry.durationSeconds = clockSeconds(json.getText(at + ".length"));
        entry.published = timestampAt(json, at + ".created");
        page.entries.push_back(std::move(entry));
    }
    page.info.total = numberOr(json, "data.page.count");
    if (!page.entries.empty()) {
        page.info.name = page.entries.front().owner;
        page.info.owner = page.info.name;
    }
}

void readFavourites(const JsonObject& json, ListPage& page) {
    const std::string list = "data.medias";
    const int count = json.count(list);
    for (int i = 0; i < count; ++i) {
        const std::string at = item(list, i);
        ListEntry entry = archiveEntry(json, at);
        entry.aid = json.valueText(at + ".id");
        entry.cover = json.getText(at + ".cover");
        entry.owner = json.getText(at + ".upper.name");
        entry.parts = numberOr(json, at + ".page", 0);
        entry.published = timestampAt(json, at + ".pubtime");
        const int attr = numberOr(json, at + ".attr", 0);
        if (numberOr(json, at + ".type") != 2) {
            entry.unavailable = localText("不是视频");
        } else if (attr == 9 || attr == 1) {
            entry.unavailable = localText("已失效视频");
        }
        page.entries.push_back(std::move(entry));
    }
    page.info.name = json.getText("data.info.title");
    page.info.owner = json.getText("data.info.upper.name");
    page.info.total = numberOr(json, "data.info.media_count");
    page.last = json.getText("data.has_more") != "true";
}

void readArchives(const JsonObject& json, ListPage& page) {
    const std::string list = "data.archives";
    const int count = json.count(list);
    for (int i = 0; i < count; ++i) page.entries.push_back(archiveEntry(json, item(list, i)));
}

void readCollection(const JsonObject& json, ListPage& page) {
    readArchives(json, page);
    page.info.name = json.getText("data.meta.name");
    page.info.total = numberOr(json, "data.page.total");
    if (page.info.total < 0) page.info.total = numberOr(json, "data.meta.total");
}

void readSeries(const JsonObject& json, ListPage& page) {
    readArchives(json, page);
    page.info.total = numberOr(json, "data.page.total");
}

void readWatchLater(const JsonObject& json, ListPage& page) {
    const std::string list = "data.list";
    const int count = json.count(list);
    for (int i = 0; i < count; ++i) {
        const std::string at = item(list, i);
        ListEntry entry = archiveEntry(json, at);
        entry.owner = json.getText(at + ".owner.name");
        entry.parts = numberOr(json, at + ".videos", 0);
        page.entries.push_back(std::move(entry));
    }
    page.info.name = localText("稍后再看");
    page.info.total = numberOr(json, "data.count");
    page.last = true;
}

void readSeason(const JsonObject& json, bool member, ListPage& page) {
    const std::string list = "result.episodes";
    const int count = json.count(list);
    const std::string membersOnly = localText("会员");
    for (int i = 0; i < count; ++i) {
        const std::string at = item(list, i);
        ListEntry entry = archiveEntry(json, at);
        const std::string longTitle = json.getText(at + ".long_title");
        entry.title = longTitle.empty() ? json.getText(at + ".title") : longTitle;
        entry.cover = json.getText(at + ".cover");
        const int milliseconds = numberOr(json, at + ".duration");
        entry.durationSeconds = milliseconds < 0 ? -1 : milliseconds / 1000;
        entry.published = timestampAt(json, at + ".pub_time");
        entry.episodeId = json.valueText(at + ".ep_id");
        entry.cid = json.valueText(at + ".cid");
        entry.badge = json.getText(at + ".badge");
        entry.episodeNumber = i + 1;
        if (!member && findLocal(entry.badge, membersOnly) != std::string::npos) {
            entry.unavailable = memberOnlyMessage();
        }
        page.entries.push_back(std::move(entry));
    }
    page.info.name = json.getText("result.title");
    page.info.cover = json.getText("result.cover");
    page.info.description = json.getText("result.evaluate");
    page.info.seasonId = json.valueText("result.season_id");
    page.info.total = count;
    page.last = true;
}

}  // namespace

int listPageSize(ListKind kind) {
    switch (kind) {
        case ListKind::Uploader:
            return kUploaderPageSize;
        case ListKind::Favourites:
            return kFavouritesPageSize;
        case ListKind::Collection:
            return kCollectionPageSize;
        case ListKind::Series:
            return kSeriesPageSize;
        case ListKind::WatchLater:
        case ListKind::Season:
            return 0;
    }
    return 0;
}

ListQuery listPageQuery(const ListAddress& address, int number) {
    const std::string page = std::to_string(number);
    const std::string size = std::to_string(listPageSize(address.kind));
    switch (address.kind) {
        case ListKind::Uploader:
            return {"/x/space/wbi/arc/search",
                    {{"mid", address.ownerMid}, {"pn", page}, {"ps", size}, {"order", "pubdate"}},
                    true};
        case ListKind::Favourites:
            return {"/x/v3/fav/resource/list",
                    {{"media_id", address.id}, {"pn", page}, {"ps", size}, {"platform", "web"}}};
        case ListKind::Collection:
            return {"/x/polymer/web-space/seasons_archives_list",
                    {{"mid", address.ownerMid},
                     {"season_id", address.id},
                     {"page_num", page},
                     {"page_size", size}}};
        case ListKind::Series:
            return {"/x/series/archives",
                    {{"mid", address.ownerMid},
                     {"series_id", address.id},
                     {"pn", page},
                     {"ps", size},
                     {"sort", "desc"}}};
        case ListKind::WatchLater:
            return {"/x/v2/history/toview", {}};
        case ListKind::Season:
            return {"/pgc/view/web/season",
                    {{address.byEpisode ? "ep_id" : "season_id", address.id}}};
    }
    return {};
}

ListQuery seriesNameQuery(const ListAddress& address) {
    return {"/x/series/series", {{"series_id", address.id}}};
}

ListPage readListPage(const ListAddress& address, const JsonObject& json, bool member) {
    ListPage page;
    page.info.kind = address.kind;
    switch (address.kind) {
        case ListKind::Uploader:
            readUploader(json, page);
            break;
        case ListKind::Favourites:
            readFavourites(json, page);
            break;
        case ListKind::Collection:
            readCollection(json, page);
            break;
        case ListKind::Series:
            readSeries(json, page);
            break;
        case ListKind::WatchLater:
            readWatchLater(json, page);
            break;
        case ListKind::Season:
            readSeason(json, member, page);
            break;
    }
    return page;
}

void readSeriesName(const JsonObject& json, ListInfo& info) {
    info.name = json.getText("data.meta.name");
    info.total = numberOr(json, "data.meta.total");
}

}  // namespace quivra

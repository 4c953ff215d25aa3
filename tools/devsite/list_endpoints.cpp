// The lists of videos: an uploader's videos, a favourites folder, a collection, a series
// and the watch-later list. Every entry is drawn from its video's information answer.
#include <array>

#include "devsite/list_answers.h"
#include "devsite/list_videos.h"

namespace devsite {

namespace {

std::string minutesAndSeconds(long long seconds) {
    char text[24];
    std::snprintf(text, sizeof text, "%02lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

// ---- an uploader's videos (signed) ----

void answerUploader(const httplib::Request& request, httplib::Response& response,
                    const SiteState& state) {
    const auto mid = numberParameter(request, "mid");
    const auto page = pageRequest(request, "pn", "ps", 30, 50);
    if (!mid || !page) return sendBadRequest(response);
    const Uploader* uploader = findUploader(std::to_string(*mid));
    if (!uploader) return sendNothingFound(response);
    // The videos a test added come first, the newest at the head.
    const int added = uploader->mid == std::string(kUploaderMid) ? newVideoCount(state) : 0;
    const int count = uploader->videoCount + added;
    Json vlist = Json::array();
    const PageSpan span = pageSpan(page->number, page->size, count);
    for (long long position = span.first; position < span.end; ++position) {
        const int index = static_cast<int>(position);
        const Json data = videoData(
            state, index < added ? newVideoBvid(added - index) : uploaderBvid(index - added));
        vlist.push_back({{"aid", data["aid"]},
                         {"bvid", data["bvid"]},
                         {"title", data["title"]},
                         {"pic", data["pic"]},
                         {"description", data["desc"]},
                         {"created", data["pubdate"]},
                         {"length", minutesAndSeconds(data["duration"].get<long long>())},
                         {"author", uploader->name},
                         {"mid", *mid},
                         {"play", data["stat"]["view"]},
                         {"comment", data["stat"]["reply"]}});
    }
    sendJson(response,
             {{"code", 0},
              {"message", "0"},
              {"ttl", 1},
              {"data",
               {{"list", {{"vlist", std::move(vlist)}}},
                {"page", {{"count", count}, {"pn", page->number}, {"ps", page->size}}}}}});
}

// ---- the favourites folder ----

constexpr int kFavouritesSize = 25;
constexpr int kRemovedPosition = 6;  // 0-based
constexpr int kAudioPosition = 17;

Json videoFavourite(const SiteState& state, const std::string& bvid);

Json favouriteEntry(const SiteState& state, int position) {
    if (position == kRemovedPosition) {
        return {{"id", 30999001},
                {"type", 2},
                {"title", "已失效视频"},
                {"cover", "http://i0.example.invalid/cover/removed.jpg"},
                {"intro", ""},
                {"page", 1},
                {"duration", 95},
                {"upper", {{"mid", 0}, {"name", "账号已注销"}}},
                {"attr", 9},
                {"bvid", "BV1Gq4y1x7Rm"},
                {"pubtime", 1700000000}};
    }
    if (position == kAudioPosition) {
        return {{"id", 3000017},
                {"type", 12},
                {"title", "雨声 白噪音 (音频)"},
                {"cover", "http://i0.example.invalid/cover/audio.jpg"},
                {"intro", "An audio, not a video."},
                {"page", 0},
                {"duration", 1800},
                {"upper", {{"mid", 70001}, {"name", "声音小站"}}},
                {"attr", 0},
                {"bvid", ""},
                {"pubtime", 1710000000}};
    }
    // The twelve-part video first, then uploader videos 500 on.
    const int videosBefore = position - (position > kRemovedPosition) - (position > kAudioPosition);
    return videoFavourite(state,
                          videosBefore == 0 ? kTwelvePartBvid : uploaderBvid(499 + videosBefore));
}

Json videoFavourite(const SiteState& state, const std::string& bvid) {
    const Json data = videoData(state, bvid);
    return {{"id", data["aid"]},
            {"type", 2},
            {"title", data["title"]},
            {"cover", data["pic"]},
            {"intro", data["desc"]},
            {"page", data["videos"]},
            {"duration", data["duration"]},
            {"upper", {{"mid", data["owner"]["mid"]}, {"name", data["owner"]["name"]}}},
            {"attr", 0},
            {"bvid", bvid},
            {"pubtime", data["pubdate"]}};
}

void answerFavourites(const httplib::Request& request, httplib::Response& response,
                      const SiteState& state) {
    const auto id = numberParameter(request, "media_id");
    const auto page = pageRequest(request, "pn", "ps", 20, 20);
    if (!id || !page) return sendBadRequest(response);
    if (std::to_string(*id) == kPrivateFavouritesId) {
        sendJson(response, {{"code", -403}, {"message", "访问权限不足"}, {"ttl", 1}});
        return;
    }
    if (std::to_string(*id) != kFavouritesId) return sendNothingFound(response);
    // The videos a test added come first, the newest at the head.
    const int added = newVideoCount(state);
    const int count = kFavouritesSize + added;
    Json medias = Json::array();
    const PageSpan span = pageSpan(page->number, page->size, count);
    for (long long position = span.first; position < span.end; ++position) {
        const int index = static_cast<int>(position);
        medias.push_back(index < added ? videoFavourite(state, newVideoBvid(added - index))
                                       : favouriteEntry(state, index - added));
    }
    const Json& owner = state.accounts["member"];
    sendJson(response, {{"code", 0},
                        {"message", "0"},
                        {"ttl", 1},
                        {"data",
                         {{"info",
                           {{"id", *id},
                            {"title", "收藏夹 · 周末做点小东西"},
                            {"media_count", count},
                            {"upper", {{"mid", owner["mid"]}, {"name", owner["uname"]}}}}},
                          {"medias", std::move(medias)},
                          {"has_more", span.end < count}}}});
}

// ---- collections and series: runs of the 2,000-video uploader's videos ----

// Uploader videos newestIndex .. newestIndex + held - 1, newest first.
struct UploaderList {
    const char* id;
    const char* name;
    int total;  // what the list says it holds
    int held;   // what its pages hold
    int newestIndex;
    bool repeating;  // every page is the first one
};

constexpr std::array<UploaderList, 2> kCollections = {{
    {kCollectionId, "木勺从零到一 (合集)", 35, 35, 100, false},
    {kRepeatingCollectionId, "翻来覆去的合集", 60, 30, 200, true},
}};

constexpr std::array<UploaderList, 2> kSeries = {{
    {kSeriesId, "周末小物 / 系列", 25, 25, 300, false},
    {kShortSeriesId, "说多做少的系列", 100, 20, 400, false},
}};

template <std::size_t N>
const UploaderList* findUploaderList(const std::array<UploaderList, N>& lists, long long id) {
    for (const UploaderList& list : lists) {
        if (std::to_string(id) == list.id) return &list;
    }
    return nullptr;
}

Json archivesOf(const SiteState& state, const UploaderList& list, const PageRequest& page,
                bool newestFirst) {
    const PageSpan span = pageSpan(list.repeating ? 1 : page.number, page.size, list.held);
    Json archives = Json::array();
    for (long long position = span.first; position < span.end; ++position) {
        const long long index =
            list.newestIndex + (newestFirst ? position : list.held - 1 - position);
        const Json data = videoData(state, uploaderBvid(static_cast<int>(index)));
        archives.push_back({{"aid", data["aid"]},
                            {"bvid", data["bvid"]},
                            {"title", data["title"]},
                            {"pic", data["pic"]},
                            {"duration", data["duration"]},
                            {"pubdate", data["pubdate"]},
                            {"stat", {{"view", data["stat"]["view"]}}}});
    }
    return archives;
}

// Collections run from the oldest; a series as its `sort` asks (desc by default).
void answerCollection(const httplib::Request& request, httplib::Response& response,
                      const SiteState& state) {
    const auto mid = numberParameter(request, "mid");
    const auto id = numberParameter(request, "season_id");
    const auto page = pageRequest(request, "page_num", "page_size", 30, 100);
    if (!mid || !id || !page) return sendBadRequest(response);
    const UploaderList* list = findUploaderList(kCollections, *id);
    if (!list || std::to_string(*mid) != kUploaderMid) return sendNothingFound(response);
    sendJson(
        response,
        {{"code", 0},
         {"message", "0"},
         {"ttl", 1},
         {"data",
          {{"meta",
            {{"season_id", *id}, {"mid", *mid}, {"name", list->name}, {"total", list->total}}},
           {"archives", archivesOf(state, *list, *page, false)},
           {"page",
            {{"page_num", page->number}, {"page_size", page->size}, {"total", list->total}}}}}});
}

void answerSeriesArchives(const httplib::Request& request, httplib::Response& response,
                          const SiteState& state) {
    const auto mid = numberParameter(request, "mid");
    const auto id = numberParameter(request, "series_id");
    const auto page = pageRequest(request, "pn", "ps", 20, 100);
    if (!mid || !id || !page) return sendBadRequest(response);
    const UploaderList* list = findUploaderList(kSeries, *id);
    if (!list || std::to_string(*mid) != kUploaderMid) return sendNothingFound(response);
    const bool newestFirst = request.get_param_value("sort") != "asc";
    sendJson(response,
             {{"code", 0},
              {"message", "0"},
              {"ttl", 1},
              {"data",
               {{"archives", archivesOf(state, *list, *page, newestFirst)},
                {"page", {{"num", page->number}, {"size", page->size}, {"total", list->total}}}}}});
}

void answerSeriesMeta(const httplib::Request& request, httplib::Response& response) {
    const auto id = numberParameter(request, "series_id");
    if (!id) return sendBadRequest(response);
    const UploaderList* list = findUploaderList(kSeries, *id);
    if (!list) return sendNothingFound(response);
    sendJson(response, {{"code", 0},
                        {"message", "0"},
                        {"ttl", 1},
                        {"data",
                         {{"meta",
                           {{"series_id", *id},
                            {"mid", std::stoll(kUploaderMid)},
                            {"name", list->name},
                            {"total", list->total}}}}}});
}

// ---- watch later (needs the login) ----

void answerWatchLater(const httplib::Request& request, httplib::Response& response,
                      const SiteState& state) {
    const std::string cookie = request.get_header_value("Cookie");
    if (!isMemberCookie(cookie) && !isPlainCookie(cookie)) {
        sendJson(response, {{"code", -101}, {"message", "账号未登录"}, {"ttl", 1}});
        return;
    }
    const std::array<std::string, kWatchLaterCount> bvids = {
        kTwelvePartBvid, kOnePartBvid, uploaderBvid(600), uploaderBvid(601), uploaderBvid(602)};
    Json list = Json::array();
    for (const std::string& bvid : bvids) {
        const Json data = videoData(state, bvid);
        list.push_back(
            {{"aid", data["aid"]},
             {"bvid", bvid},
             {"title", data["title"]},
             {"pic", data["pic"]},
             {"duration", data["duration"]},
             {"pubdate", data["pubdate"]},
             {"videos", data["videos"]},
             {"cid", data["cid"]},
             {"owner", {{"mid", data["owner"]["mid"]}, {"name", data["owner"]["name"]}}}});
    }
    sendJson(response, {{"code", 0},
                        {"message", "0"},
                        {"ttl", 1},
                        {"data", {{"count", kWatchLaterCount}, {"list", std::move(list)}}}});
}

}  // namespace

void registerListEndpoints(httplib::Server& server, SiteState& state) {
    const auto route = [&server, &state](const char* path, auto answer) {
        addListRoute(
            server, state, path,
            [&state, answer](const httplib::Request& request, httplib::Response& response) {
                answer(request, response, state);
            });
    };
    route("/x/space/wbi/arc/search", answerUploader);
    route("/x/v3/fav/resource/list", answerFavourites);
    route("/x/polymer/web-space/seasons_archives_list", answerCollection);
    route("/x/series/archives", answerSeriesArchives);
    route("/x/series/series", [](const httplib::Request& request, httplib::Response& response,
                                 const SiteState&) { answerSeriesMeta(request, response); });
    route("/x/v2/history/toview", answerWatchLater);
}

}  // namespace devsite

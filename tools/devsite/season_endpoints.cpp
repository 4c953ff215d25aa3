// A season of a show: its episodes by season or by any of its episodes, and an episode's
// streams (the members-only episodes only for the member cookie).
#include "devsite/list_answers.h"
#include "devsite/list_videos.h"

namespace devsite {

namespace {

// The season's episode with this ep id; 0 for none.
int episodeNumberOf(long long epId) {
    for (int number = 1; number <= kSeasonEpisodeCount; ++number) {
        if (std::to_string(epId) == seasonEpisodeId(number)) return number;
    }
    return 0;
}

void answerSeason(const httplib::Request& request, httplib::Response& response,
                  const SiteState& state) {
    const bool bySeason = request.has_param("season_id");
    const auto id = numberParameter(request, bySeason ? "season_id" : "ep_id");
    if (!id) return sendBadRequest(response);
    if (bySeason ? std::to_string(*id) != kSeasonId : episodeNumberOf(*id) == 0)
        return sendNothingFound(response);
    Json episodes = Json::array();
    for (int number = 1; number <= kSeasonEpisodeCount; ++number) {
        const Episode episode = seasonEpisode(number);
        const Json data = videoData(state, episode.made.video.bvid);
        episodes.push_back({{"aid", episode.made.video.aid},
                            {"bvid", episode.made.video.bvid},
                            {"cid", episode.made.part.cid},
                            {"ep_id", episode.epId},
                            {"title", std::to_string(number)},
                            {"long_title", episode.longTitle},
                            {"badge", episode.badge},
                            {"cover", data["pic"]},
                            {"pub_time", episode.made.video.pubdate},
                            {"duration", episode.durationMs}});
    }
    // The videos a test added are the season's latest episodes.
    const std::vector<long long> added = state.videos.newVideos();
    for (size_t i = 0; i < added.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const MadeVideoOfList made = newVideo(number, added[i]);
        const Json data = videoData(state, made.video.bvid);
        episodes.push_back({{"aid", made.video.aid},
                            {"bvid", made.video.bvid},
                            {"cid", made.part.cid},
                            {"ep_id", newEpisodeId(number)},
                            {"title", std::to_string(kSeasonEpisodeCount + number)},
                            {"long_title", made.video.title},
                            {"badge", ""},
                            {"cover", data["pic"]},
                            {"pub_time", made.video.pubdate},
                            {"duration", made.part.seconds * 1000LL}});
    }
    sendJson(response, {{"code", 0},
                        {"message", "success"},
                        {"result",
                         {{"season_id", std::stoll(kSeasonId)},
                          {"title", "山海之间 第一季"},
                          {"cover", episodes[0]["cover"]},
                          {"evaluate", "十二段路，十二个人：一部关于远行与归来的小品。"},
                          {"episodes", std::move(episodes)}}}});
}

void answerEpisodeStreams(const httplib::Request& request, httplib::Response& response,
                          SiteState& state) {
    const auto epId = numberParameter(request, "ep_id");
    const auto cid = numberParameter(request, "cid");
    if (!epId || !cid) return sendBadRequest(response);
    const int number = episodeNumberOf(*epId);
    const int added = newEpisodeNumber(*epId);
    if (number == 0 && added > 0 && added <= newVideoCount(state)) {
        const std::string bvid = newVideoBvid(added);
        if (!state.videos.hasPart(bvid, std::to_string(*cid))) return sendNothingFound(response);
        sendJson(response,
                 {{"code", 0},
                  {"message", "success"},
                  {"result", streamListData(request, state, bvid, std::to_string(*cid))}});
        return;
    }
    const Episode episode = seasonEpisode(number == 0 ? 1 : number);
    if (number == 0 || *cid != episode.made.part.cid) return sendNothingFound(response);
    if (number >= kFirstMembersEpisode && !isMemberCookie(request.get_header_value("Cookie"))) {
        sendJson(response, {{"code", -10403}, {"message", "大会员专享限制"}});
        return;
    }
    sendJson(response, {{"code", 0},
                        {"message", "success"},
                        {"result", streamListData(request, state, episode.made.video.bvid,
                                                  std::to_string(*cid))}});
}

}  // namespace

void registerSeasonEndpoints(httplib::Server& server, SiteState& state) {
    addListRoute(server, state, "/pgc/view/web/season",
                 [&state](const httplib::Request& request, httplib::Response& response) {
                     answerSeason(request, response, state);
                 });
    addRoute(server, state, "GET", "/pgc/player/web/playurl",
             [&state](const httplib::Request& request, httplib::Response& response) {
                 answerEpisodeStreams(request, response, state);
             });
}

}  // namespace devsite

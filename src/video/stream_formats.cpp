#include "video/stream_formats.h"

#include <utility>

#include "base/proxy_route.h"
#include "base/shared_state.h"
#include "net/http_request.h"
#include "net/json_object.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

enum class PlayurlAnswer { Read, Refused, MembersOnly, Unreadable };

// A video's and an episode's stream lists differ in their address and in the member
// their answer holds the lists under; what is inside is read by one reader.
struct PlayurlRequest {
    std::string pathAndQuery;  // under the api host
    std::string root;          // "data" or "result"
};

PlayurlRequest videoPlayurl(const std::string& bvid, const std::string& cid) {
    return {"/x/player/playurl?cid=" + cid + "&bvid=" + bvid + "&fourk=1&fnval=80", "data"};
}

PlayurlRequest episodePlayurl(const std::string& episodeId, const std::string& cid) {
    return {"/pgc/player/web/playurl?ep_id=" + episodeId + "&cid=" + cid + "&fourk=1&fnval=80",
            "result"};
}

// Sends the playurl request with the user's cookie and parses the answer into json.
// Cookies the answer sets are merged into the user record's cookie, in memory only.
PlayurlAnswer requestPlayurl(const PlayurlRequest& request, JsonObject& json) {
    SharedState& state = sharedState();
    const std::string sentCookie = state.user.get().cookie;
    std::string cookie = sentCookie;
    HttpRequestOptions options;
    options.cookies = &cookie;
    options.headers = kBrowserUserAgentLine;
    const std::string body = siteRequest(state.site.api + request.pathAndQuery, options);
    // A login that replaced the cookie while the request ran keeps its newer cookie.
    state.user.update([&](UserRecord& user) {
        if (user.cookie == sentCookie) user.cookie = std::move(cookie);
    });

    if (!json.parse(utf8ToLocalText(body))) return PlayurlAnswer::Unreadable;
    const std::string code = json.valueText("code");
    if (code != "0") {
        json.clear();
        return code == "-10403" ? PlayurlAnswer::MembersOnly : PlayurlAnswer::Refused;
    }
    return PlayurlAnswer::Read;
}

std::string videoPath(const std::string& root, int index, const char* field) {
    return root + ".dash.video[" + std::to_string(index) + "]." + field;
}

QualityList readQualityList(const JsonObject& json, const std::string& root) {
    QualityList list;
    const int formats = json.count(root + ".support_formats");
    const int evenStreams = json.count(root + ".dash.video") / 2;
    list.entries.reserve(formats > 0 ? formats : 0);
    for (int i = 0; i < formats; ++i) {
        const std::string prefix = root + "['support_formats'][" + std::to_string(i) + "]";
        QualityEntry entry;
        entry.quality = json.valueText(prefix + ".quality");
        entry.newDescription = json.getText(prefix + "['new_description']");
        // Streams come in pairs of one id; the first of each pair is enough.
        for (int j = 0; j < evenStreams; ++j) {
            if (json.valueText(videoPath(root, 2 * j, "id")) == entry.quality) {
                entry.available = true;
                break;
            }
        }
        list.entries.push_back(std::move(entry));
    }
    list.count = formats;
    return list;
}

StreamAddresses readStreamAddresses(const JsonObject& json, const std::string& root,
                                    const std::string& wantedVideo,
                                    const std::string& wantedAudio) {
    StreamAddresses addresses;
    const int evenStreams = json.count(root + ".dash.video") / 2;
    for (int k = 0; k < evenStreams; ++k) {
        if (json.valueText(videoPath(root, 2 * k, "id")) == wantedVideo) {
            addresses.video = json.getText(videoPath(root, 2 * k, "baseUrl"));
            break;
        }
    }
    if (wantedVideo.empty() || addresses.video.empty()) {
        addresses.video = json.getText(videoPath(root, 0, "baseUrl"));
    }

    const int audioStreams = json.count(root + ".dash.audio");
    for (int i = 0; i < audioStreams; ++i) {
        const std::string prefix = root + ".dash.audio[" + std::to_string(i) + "]";
        if (json.valueText(prefix + ".id") == wantedAudio) {
            addresses.audio = json.getText(prefix + ".baseUrl");
            break;
        }
    }
    if (wantedAudio.empty() || addresses.audio.empty()) {
        addresses.audio = json.getText(root + ".dash.audio[0].baseUrl");
    }
    return addresses;
}

QualityList fetchQualities(const PlayurlRequest& request) {
    JsonObject json;
    if (requestPlayurl(request, json) != PlayurlAnswer::Read) {
        QualityList failed;
        failed.count = -1;
        return failed;
    }
    QualityList list = readQualityList(json, request.root);
    json.clear();
    return list;
}

StreamAddresses resolveStreams(const PlayurlRequest& request, const std::string& wantedVideo,
                               const std::string& wantedAudio) {
    JsonObject json;
    const PlayurlAnswer answer = requestPlayurl(request, json);
    if (answer != PlayurlAnswer::Read) {
        StreamAddresses none;
        none.unanswered = answer == PlayurlAnswer::Unreadable;
        none.membersOnly = answer == PlayurlAnswer::MembersOnly;
        return none;
    }
    StreamAddresses addresses = readStreamAddresses(json, request.root, wantedVideo, wantedAudio);
    json.clear();
    return addresses;
}

}  // namespace

QualityList fetchQualityList(const std::string& bvid, const std::string& cid) {
    return fetchQualities(videoPlayurl(bvid, cid));
}

QualityList fetchEpisodeQualityList(const std::string& episodeId, const std::string& cid) {
    return fetchQualities(episodePlayurl(episodeId, cid));
}

int keepQualityList(const QualityList& fetched) {
    if (fetched.count < 0) {
        sharedState().qualities.update([](QualityList& list) { list.count = -1; });
    } else {
        sharedState().qualities.set(fetched);
    }
    return fetched.count;
}

int requestQualityList(const std::string& bvid, const std::string& cid) {
    return keepQualityList(fetchQualityList(bvid, cid));
}

StreamAddresses resolveStreamAddresses(const VideoRecord& record, const std::string& cid,
                                       const std::string& wantedVideo,
                                       const std::string& wantedAudio) {
    return resolveStreams(videoPlayurl(record.bvid, cid), wantedVideo, wantedAudio);
}

StreamAddresses resolveEpisodeStreamAddresses(const std::string& episodeId, const std::string& cid,
                                              const std::string& wantedVideo,
                                              const std::string& wantedAudio) {
    return resolveStreams(episodePlayurl(episodeId, cid), wantedVideo, wantedAudio);
}

}  // namespace quivra

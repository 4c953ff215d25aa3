#include "video/stream_formats.h"

#include <utility>

#include "base/shared_state.h"
#include "net/http_request.h"
#include "net/json_object.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

// Sends the playurl request with the user's cookie and parses the answer into json.
// Cookies the answer sets are merged into the user record's cookie, in memory only.
bool requestPlayurl(const std::string& bvid, const std::string& cid, JsonObject& json) {
    SharedState& state = sharedState();
    const std::string sentCookie = state.user.get().cookie;
    std::string cookie = sentCookie;
    HttpRequestOptions options;
    options.cookies = &cookie;
    options.headers = kBrowserUserAgentLine;
    const std::string body = httpRequest(
        state.site.api + "/x/player/playurl?cid=" + cid + "&bvid=" + bvid + "&fourk=1&fnval=80",
        options);
    // A login that replaced the cookie while the request ran keeps its newer cookie.
    state.user.update([&](UserRecord& user) {
        if (user.cookie == sentCookie) user.cookie = std::move(cookie);
    });

    if (!json.parse(utf8ToLocalText(body))) return false;
    if (json.valueText("code") != "0") {
        json.clear();
        return false;
    }
    return true;
}

std::string videoPath(int index, const char* field) {
    return "data.dash.video[" + std::to_string(index) + "]." + field;
}

}  // namespace

QualityList fetchQualityList(const std::string& bvid, const std::string& cid) {
    QualityList list;
    JsonObject json;
    if (!requestPlayurl(bvid, cid, json)) {
        list.count = -1;
        return list;
    }

    const int formats = json.count("data.support_formats");
    const int evenStreams = json.count("data.dash.video") / 2;
    list.entries.reserve(formats > 0 ? formats : 0);
    for (int i = 0; i < formats; ++i) {
        const std::string prefix = "data['support_formats'][" + std::to_string(i) + "]";
        QualityEntry entry;
        entry.quality = json.valueText(prefix + ".quality");
        entry.newDescription = json.getText(prefix + "['new_description']");
        // Streams come in pairs of one id; the first of each pair is enough.
        for (int j = 0; j < evenStreams; ++j) {
            if (json.valueText(videoPath(2 * j, "id")) == entry.quality) {
                entry.available = true;
                break;
            }
        }
        list.entries.push_back(std::move(entry));
    }
    list.count = formats;
    json.clear();
    return list;
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
    StreamAddresses addresses;
    JsonObject json;
    if (!requestPlayurl(record.bvid, cid, json)) return addresses;

    const int evenStreams = json.count("data.dash.video") / 2;
    for (int k = 0; k < evenStreams; ++k) {
        if (json.valueText(videoPath(2 * k, "id")) == wantedVideo) {
            addresses.video = json.getText(videoPath(2 * k, "baseUrl"));
            break;
        }
    }
    if (wantedVideo.empty() || addresses.video.empty()) {
        addresses.video = json.getText("data.dash.video[0].baseUrl");
    }

    const int audioStreams = json.count("data.dash.audio");
    for (int i = 0; i < audioStreams; ++i) {
        const std::string prefix = "data.dash.audio[" + std::to_string(i) + "]";
        if (json.valueText(prefix + ".id") == wantedAudio) {
            addresses.audio = json.getText(prefix + ".baseUrl");
            break;
        }
    }
    if (wantedAudio.empty() || addresses.audio.empty()) {
        addresses.audio = json.getText("data.dash.audio[0].baseUrl");
    }
    json.clear();
    return addresses;
}

}  // namespace quivra

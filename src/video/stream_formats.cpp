#include "video/stream_formats.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "base/config_file.h"
#include "base/proxy_route.h"
#include "base/shared_state.h"
#include "net/http_request.h"
#include "net/json_object.h"
#include "net/text_encoding.h"
#include "video/audio_choices.h"

namespace quivra {
namespace {

enum class PlayurlAnswer { Read, Refused, MembersOnly, Unreadable };

// A video's and an episode's stream lists differ in their address and in the member
// their answer holds the lists under; what is inside is read by one reader.
struct PlayurlRequest {
    std::string pathAndQuery;  // under the api host
    std::string root;          // "data" or "result"
};

PlayurlRequest videoPlayurl(const std::string& bvid, const std::string& cid, int fnval) {
    return {"/x/player/playurl?cid=" + cid + "&bvid=" + bvid +
                "&fourk=1&fnval=" + std::to_string(fnval),
            "data"};
}

PlayurlRequest episodePlayurl(const std::string& episodeId, const std::string& cid, int fnval) {
    return {"/pgc/player/web/playurl?ep_id=" + episodeId + "&cid=" + cid +
                "&fourk=1&fnval=" + std::to_string(fnval),
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

struct VideoStream {
    std::string id;
    std::optional<VideoCodec> codec;  // none: neither codecid nor codecs names one
    std::string url;
};

std::optional<VideoCodec> codecOfId(const std::string& codecid) {
    for (VideoCodec codec : defaultCodecOrder()) {
        if (codecid == std::to_string(static_cast<int>(codec))) return codec;
    }
    return std::nullopt;
}

// By codecid; the codecs text only when codecid is absent, as the two may disagree.
std::optional<VideoCodec> streamCodec(const JsonObject& json, const std::string& prefix) {
    if (json.exists(prefix + ".codecid")) return codecOfId(json.valueText(prefix + ".codecid"));
    const std::string codecs = json.getText(prefix + ".codecs");
    if (codecs.starts_with("avc1")) return VideoCodec::Avc;
    if (codecs.starts_with("hev1") || codecs.starts_with("hvc1")) return VideoCodec::Hevc;
    if (codecs.starts_with("av01")) return VideoCodec::Av1;
    return std::nullopt;
}

std::vector<VideoStream> readVideoStreams(const JsonObject& json, const std::string& root) {
    std::vector<VideoStream> streams;
    const int count = json.count(root + ".dash.video");
    for (int i = 0; i < count; ++i) {
        const std::string prefix = root + ".dash.video[" + std::to_string(i) + "]";
        streams.push_back({json.valueText(prefix + ".id"), streamCodec(json, prefix),
                           json.getText(prefix + ".baseUrl")});
    }
    return streams;
}

// The quality's stream in the earliest codec of the order; a stream of a codec the order
// does not hold is taken only when the quality has no other.
const VideoStream* chooseVideo(const std::vector<VideoStream>& streams, const std::string& id,
                               const std::vector<VideoCodec>& codecs) {
    const auto rank = [&](const VideoStream& stream) {
        const auto at =
            stream.codec ? std::find(codecs.begin(), codecs.end(), *stream.codec) : codecs.end();
        return at - codecs.begin();
    };
    const VideoStream* best = nullptr;
    for (const VideoStream& stream : streams) {
        if (stream.id == id && (!best || rank(stream) < rank(*best))) best = &stream;
    }
    return best;
}

struct AudioStream {
    int id = 0;
    std::string url;  // "" for a marked stream sent only to members
};

// The AAC streams, then the lossless and the Dolby stream where the answer marks them;
// either mark may be null or absent (the video has none).
std::vector<AudioStream> readAudioStreams(const JsonObject& json, const std::string& root) {
    std::vector<AudioStream> streams;
    const int count = json.count(root + ".dash.audio");
    for (int i = 0; i < count; ++i) {
        const std::string prefix = root + ".dash.audio[" + std::to_string(i) + "]";
        streams.push_back(
            {textToInteger(json.valueText(prefix + ".id")), json.getText(prefix + ".baseUrl")});
    }
    if (json.valueText(root + ".dash.flac.display") == "true") {
        streams.push_back({kLosslessAudioStream, json.getText(root + ".dash.flac.audio.baseUrl")});
    }
    if (json.getNumber(root + ".dash.dolby.type") > 0) {
        AudioStream dolby{kDolbyAudioStream, {}};
        const int sent = json.count(root + ".dash.dolby.audio");
        for (int i = 0; i < sent && dolby.url.empty(); ++i) {
            const std::string prefix = root + ".dash.dolby.audio[" + std::to_string(i) + "]";
            if (json.valueText(prefix + ".id") == std::to_string(kDolbyAudioStream))
                dolby.url = json.getText(prefix + ".baseUrl");
        }
        streams.push_back(std::move(dolby));
    }
    return streams;
}

QualityList readQualityList(const JsonObject& json, const std::string& root) {
    QualityList list;
    const int formats = json.count(root + ".support_formats");
    const std::vector<VideoStream> streams = readVideoStreams(json, root);
    list.entries.reserve(formats > 0 ? formats : 0);
    for (int i = 0; i < formats; ++i) {
        const std::string prefix = root + "['support_formats'][" + std::to_string(i) + "]";
        QualityEntry entry;
        entry.quality = json.valueText(prefix + ".quality");
        entry.newDescription = json.getText(prefix + "['new_description']");
        for (const VideoStream& stream : streams) {
            if (stream.id != entry.quality) continue;
            entry.available = true;
            if (stream.codec) entry.codecIds.push_back(static_cast<int>(*stream.codec));
        }
        list.entries.push_back(std::move(entry));
    }
    list.count = formats;
    for (const AudioStream& audio : readAudioStreams(json, root)) list.audioIds.push_back(audio.id);
    return list;
}

StreamAddresses readStreamAddresses(const JsonObject& json, const std::string& root,
                                    const StreamWants& wants) {
    StreamAddresses addresses;
    const std::vector<VideoStream> streams = readVideoStreams(json, root);
    const VideoStream* video = chooseVideo(streams, wants.video, wants.codecs);
    // Nothing wanted, or not offered: the first listed quality.
    if ((wants.video.empty() || !video) && !streams.empty())
        video = chooseVideo(streams, streams.front().id, wants.codecs);
    if (video) {
        addresses.video = video->url;
        addresses.videoCodec = video->codec.value_or(VideoCodec::Avc);
    }

    const std::vector<AudioStream> audio = readAudioStreams(json, root);
    const auto wanted = std::find_if(audio.begin(), audio.end(), [&](const AudioStream& stream) {
        return std::to_string(stream.id) == wants.audio;
    });
    if (wanted != audio.end() && !wanted->url.empty()) {
        addresses.audio = wanted->url;
    } else if (wanted != audio.end() && isSpecialAudioStream(wanted->id)) {
        addresses.membersOnly = true;
    } else {
        // Nothing wanted, or not offered: the first AAC stream.
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

StreamAddresses resolveStreams(const PlayurlRequest& request, const StreamWants& wants) {
    JsonObject json;
    const PlayurlAnswer answer = requestPlayurl(request, json);
    if (answer != PlayurlAnswer::Read) {
        StreamAddresses none;
        none.unanswered = answer == PlayurlAnswer::Unreadable;
        none.membersOnly = answer == PlayurlAnswer::MembersOnly;
        return none;
    }
    StreamAddresses addresses = readStreamAddresses(json, request.root, wants);
    json.clear();
    return addresses;
}

}  // namespace

QualityList fetchQualityList(const std::string& bvid, const std::string& cid,
                             const FormatAsk& ask) {
    return fetchQualities(videoPlayurl(bvid, cid, fnvalFor(ask)));
}

QualityList fetchEpisodeQualityList(const std::string& episodeId, const std::string& cid,
                                    const FormatAsk& ask) {
    return fetchQualities(episodePlayurl(episodeId, cid, fnvalFor(ask)));
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
    const StreamWants wants{wantedVideo, wantedAudio};
    return resolveStreams(videoPlayurl(record.bvid, cid, fnvalFor(wants)), wants);
}

StreamAddresses resolvePartStreams(const std::string& bvid, const std::string& episodeId,
                                   const std::string& cid, const StreamWants& wants) {
    const int fnval = fnvalFor(wants);
    return resolveStreams(
        episodeId.empty() ? videoPlayurl(bvid, cid, fnval) : episodePlayurl(episodeId, cid, fnval),
        wants);
}

}  // namespace quivra

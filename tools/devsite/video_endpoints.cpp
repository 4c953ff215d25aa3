// Video information and stream lists.
#include <array>
#include <fstream>
#include <iterator>

#include "devsite/media_generator.h"
#include "devsite/site_state.h"

namespace devsite {

namespace {

struct Quality {
    int id;
    const char* description;
    bool memberOnly;
    bool codecsVideoOnly;  // offered by kCodecsBvid alone
    int fnvalBit;          // listed only when the request's fnval has it; 0: always
    bool hasStreams;
};

// High to low, as the site lists them.
constexpr std::array<Quality, 10> kQualities = {{{127, "8K 超高清", true, true, 1024, true},
                                                 {126, "杜比视界", true, true, 512, true},
                                                 {125, "HDR 真彩色", true, true, 0, true},
                                                 {120, "4K 超清", true, false, 0, true},
                                                 {116, "1080P60 高帧率", true, false, 0, true},
                                                 {112, "1080P+ 高码率", true, true, 0, false},
                                                 {80, "1080P 高清", false, false, 0, true},
                                                 {64, "720P 高清", false, false, 0, true},
                                                 {32, "480P 清晰", false, false, 0, true},
                                                 {16, "360P 流畅", false, false, 0, true}}};

// The site sends AV1 streams, and the lossless and Dolby audio, only when asked for them.
constexpr int kFnvalAv1 = 2048;
constexpr int kFnvalSpecialAudio = 256;

constexpr std::array<int, 3> kAudioIds = {30280, 30232, 30216};

Json notFound() {
    return {{"code", -404}, {"message", "视频不存在"}};
}

std::string mediaBase(const httplib::Request& request, const SiteState& state) {
    std::string host = request.get_header_value("Host");
    if (host.empty()) host = "127.0.0.1:" + std::to_string(state.port.load());
    return "http://" + host + "/media/";
}

const char* codecsText(int codecId) {
    switch (codecId) {
        case kHevcCodecId:
            return "hev1.1.6.L150.90";
        case kAv1CodecId:
            return "av01.0.08M.08";
        default:
            return "avc1.640032";
    }
}

// A quality's streams, one per codec it is made in, AVC first; AV1 only when asked for.
void addVideoStreams(Json& list, const Quality& quality, const std::string& base,
                     const std::string& expiry, int fnval, bool swappedTexts) {
    const QualityMedia& media = qualityMedia().at(quality.id);
    for (const int codecId : media.codecIds) {
        if (codecId == kAv1CodecId && !(fnval & kFnvalAv1)) continue;
        const int named = !swappedTexts             ? codecId
                          : codecId == kAvcCodecId  ? kHevcCodecId
                          : codecId == kHevcCodecId ? kAvcCodecId
                                                    : codecId;
        const std::string suffix = codecId == kAvcCodecId ? "" : "-" + std::to_string(codecId);
        list.push_back({{"id", quality.id},
                        {"baseUrl", base + std::to_string(quality.id) + suffix + ".m4s" + expiry},
                        {"bandwidth", media.size.width * media.size.height},
                        {"mimeType", "video/mp4"},
                        {"codecs", codecsText(named)},
                        {"codecid", codecId},
                        {"width", media.size.width},
                        {"height", media.size.height},
                        {"frameRate", "25"}});
    }
}

// `dash.flac` and `dash.dolby` when asked for: marked for the lossless video (its streams
// to members only, null to others), empty for every other video.
void addSpecialAudio(Json& dash, const std::string& bvid, bool member, const std::string& base,
                     const std::string& expiry) {
    const bool offered = bvid == kLosslessBvid;
    const auto stream = [&](int id, const char* codecs) -> Json {
        return {{"id", id},
                {"baseUrl", base + std::to_string(id) + ".m4s" + expiry},
                {"mimeType", "audio/mp4"},
                {"codecs", codecs}};
    };
    Json flac = nullptr;
    Json dolby = nullptr;
    if (offered && member) {
        flac = stream(kLosslessAudioId, "flac");
        dolby = Json::array({stream(kDolbyAudioId, "ec-3")});
    }
    dash["flac"] = offered ? Json{{"display", true}, {"audio", std::move(flac)}} : Json(nullptr);
    dash["dolby"] = {{"type", offered ? 1 : 0}, {"audio", std::move(dolby)}};
}

int fnvalOf(const httplib::Request& request) {
    try {
        return std::stoi(request.get_param_value("fnval"));
    } catch (const std::exception&) {
        return 0;
    }
}

void answerPlayurl(const httplib::Request& request, httplib::Response& response, SiteState& state) {
    Json data = streamListData(request, state, request.get_param_value("bvid"),
                               request.get_param_value("cid"));
    if (data.is_null()) {
        sendJson(response, notFound());
        return;
    }
    response.set_header("Set-Cookie",
                        "visitor=devsite-" + std::to_string(state.nextVisitor()) + "; path=/");
    sendJson(response, {{"code", 0}, {"message", "0"}, {"data", std::move(data)}});
}

std::string escapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The video page a browser opens from a search hit.
void answerVideoPage(const httplib::Request& request, httplib::Response& response,
                     const SiteState& state) {
    const auto answer = state.videos.find(request.matches[1]);
    if (!answer) {
        response.status = 404;
        response.set_content("<!DOCTYPE html><title>404</title><p>视频不存在</p>",
                             "text/html; charset=utf-8");
        return;
    }
    const Json& data = (*answer)["data"];
    std::string page = "<!DOCTYPE html><meta charset=\"utf-8\"><title>" +
                       escapeHtml(data.value("title", "")) + "</title><h1>" +
                       escapeHtml(data.value("title", "")) + "</h1><ol>";
    for (const auto& part : data["pages"])
        page += "<li>" + escapeHtml(part.value("part", "")) + "</li>";
    response.set_content(page + "</ol>", "text/html; charset=utf-8");
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The video's cover picture, the same small JPEG for every video but one.
void answerCover(const httplib::Request& request, httplib::Response& response,
                 const SiteState& state) {
    const std::string bvid = request.matches[1];
    std::string bytes;
    if (state.videos.find(bvid) && bvid != kMissingCoverBvid) {
        bytes = readWholeFile(state.media.cover);
    }
    if (bytes.empty()) {
        response.status = 404;
        response.set_content("no such picture", "text/plain");
        return;
    }
    response.set_content(bytes, "image/jpeg");
}

}  // namespace

Json streamListData(const httplib::Request& request, SiteState& state, const std::string& bvid,
                    const std::string& cid) {
    const auto view = state.videos.find(bvid);
    if (!view || !state.videos.hasPart(bvid, cid)) return nullptr;
    const bool member = isMemberCookie(request.get_header_value("Cookie"));
    const bool fourk = request.get_param_value("fourk") == "1";
    const std::string base = mediaBase(request, state) + bvid + "-" + cid + "-";
    const int generation = state.addressGeneration.load();
    const std::string expiry = generation > 0 ? "?expires=" + std::to_string(generation) : "";

    const int fnval = fnvalOf(request);
    const bool codecsVideo = bvid == kCodecsBvid;

    Json formats = Json::array();
    Json video = Json::array();
    for (const Quality& quality : kQualities) {
        if (quality.id == 120 && !fourk) continue;
        if (quality.codecsVideoOnly && !codecsVideo) continue;
        if (quality.fnvalBit != 0 && !(fnval & quality.fnvalBit)) continue;
        formats.push_back({{"quality", quality.id},
                           {"new_description", quality.description},
                           {"membersOnly", quality.memberOnly}});
        if (quality.hasStreams && (!quality.memberOnly || member))
            addVideoStreams(video, quality, base, expiry, fnval, bvid == kSwappedCodecsBvid);
    }
    Json audio = Json::array();
    for (int id : kAudioIds) {
        const std::string url = base + std::to_string(id) + ".m4s" + expiry;
        audio.push_back(
            {{"id", id}, {"baseUrl", url}, {"mimeType", "audio/mp4"}, {"codecs", "mp4a.40.2"}});
    }
    long long seconds = 0;
    for (const auto& page : (*view)["data"]["pages"]) {
        if (page["cid"].dump() == cid) seconds = page.value("duration", 0LL);
    }
    const int first = video.empty() ? 0 : video[0]["id"].get<int>();
    Json dash = {{"duration", seconds},
                 {"minBufferTime", 1.5},
                 {"video", std::move(video)},
                 {"audio", std::move(audio)}};
    if (fnval & kFnvalSpecialAudio) addSpecialAudio(dash, bvid, member, base, expiry);
    return {{"quality", first}, {"support_formats", std::move(formats)}, {"dash", std::move(dash)}};
}

void registerVideoEndpoints(httplib::Server& server, SiteState& state) {
    addRoute(server, state, "GET", "/x/web-interface/view",
             [&state](const httplib::Request& request, httplib::Response& response) {
                 const auto answer = state.videos.find(request.get_param_value("bvid"));
                 response.set_content(videoAnswerBody(answer ? *answer : notFound()),
                                      "application/json; charset=utf-8");
             });
    addRoute(server, state, "GET", "/video/([A-Za-z0-9]+)/?",
             [&state](const httplib::Request& request, httplib::Response& response) {
                 answerVideoPage(request, response, state);
             });
    addRoute(server, state, "GET", "/cover/([A-Za-z0-9]+)\\.jpg",
             [&state](const httplib::Request& request, httplib::Response& response) {
                 answerCover(request, response, state);
             });
    addRoute(server, state, "GET", "/x/player/playurl",
             [&state](const httplib::Request& request, httplib::Response& response) {
                 answerPlayurl(request, response, state);
             });
}

}  // namespace devsite

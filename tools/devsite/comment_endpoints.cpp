// What comes with a video: the player information (subtitles and view points, signed),
// the subtitle bodies, and the bullet comments as raw-deflate XML.
#include <zlib.h>

#include <array>
#include <mutex>

#include "devsite/list_answers.h"

namespace devsite {

namespace {

// The site's av number of a BV identifier of the old form: the site's own reading,
// independent of the client's.
std::string bvidOfAid(long long aid) {
    static constexpr char kTable[] = "fZodR9XQDSUm21yCkr6zBqiveYah8bt4xsWpHnJE7jL5VG3guMTKNPAwcF";
    static constexpr std::array<int, 6> kPlaces = {11, 10, 3, 8, 4, 6};
    long long x = (aid ^ 177451812LL) + 8728348608LL;
    std::string bvid = "BV1  4 1 7  ";
    for (int place : kPlaces) {
        bvid[static_cast<size_t>(place)] = kTable[x % 58];
        x /= 58;
    }
    return bvid;
}

struct Subtitle {
    int id;
    const char* lan;
    const char* lanDoc;
    int aiType;
};

constexpr Subtitle kHuman[] = {{1001, "zh-CN", "中文（中国）", 0}, {1002, "en-US", "English", 0}};
constexpr Subtitle kAi = {1003, "ai-zh", "中文（自动生成）", 1};

Json subtitleEntry(const httplib::Request& request, const std::string& cid, const Subtitle& s) {
    // Scheme-relative, as the site gives it.
    return {{"id", s.id},
            {"lan", s.lan},
            {"lan_doc", s.lanDoc},
            {"is_lock", false},
            {"subtitle_url", "//" + request.get_header_value("Host") + "/bfs/subtitle/" + cid +
                                 "-" + s.lan + ".json"},
            {"type", s.aiType},
            {"ai_type", s.aiType},
            {"ai_status", s.aiType == 0 ? 0 : 2}};
}

// The subtitles of a part: two human ones and an AI one for the subtitled video, one for
// the three-part video's first part, none for the rest.
Json subtitlesOf(const httplib::Request& request, const std::string& cid) {
    Json list = Json::array();
    if (cid == kSubtitledCid) {
        for (const Subtitle& s : kHuman) list.push_back(subtitleEntry(request, cid, s));
        list.push_back(subtitleEntry(request, cid, kAi));
    } else if (cid == kOtherSubtitleCid) {
        list.push_back(subtitleEntry(request, cid, kHuman[0]));
    }
    return list;
}

Json viewPointsOf(const std::string& cid) {
    if (cid != kSubtitledCid) return Json::array();
    return Json::array({{{"type", 2}, {"from", 0}, {"to", 1200}, {"content", "开场"}},
                        {{"type", 2}, {"from", 1200}, {"to", 2400}, {"content", "第二章：途中"}},
                        {{"type", 2}, {"from", 2400}, {"to", 3725}, {"content", "结尾 🎬"}}});
}

void answerPlayerInfo(const httplib::Request& request, httplib::Response& response,
                      const SiteState& state) {
    const auto aid = numberParameter(request, "aid");
    const auto cid = numberParameter(request, "cid");
    if (!aid || !cid) return sendBadRequest(response);
    const std::string bvid = bvidOfAid(*aid);
    const std::string part = std::to_string(*cid);
    if (!state.videos.hasPart(bvid, part)) return sendNothingFound(response);
    // Seen on the site: the answer for another part of the video.
    const std::string answered = part == kWrongSubtitleCid ? kOtherSubtitleCid : part;
    sendJson(
        response,
        {{"code", 0},
         {"message", "0"},
         {"data",
          {{"aid", *aid},
           {"bvid", bvid},
           {"cid", std::stoll(answered)},
           {"subtitle", {{"allow_submit", false}, {"subtitles", subtitlesOf(request, answered)}}},
           {"view_points", viewPointsOf(answered)}}}});
}

void answerSubtitleBody(const httplib::Request& request, httplib::Response& response) {
    const std::string name = request.matches[1];
    Json body = Json::array();
    if (name == std::string(kSubtitledCid) + "-zh-CN") {
        body =
            Json::array({{{"from", 1.5}, {"to", 3.2}, {"location", 2}, {"content", "第一句 🎵"}},
                         {{"from", 4}, {"to", 6.5}, {"location", 2}, {"content", "第二句\n两行"}}});
    } else if (name == std::string(kSubtitledCid) + "-en-US") {
        body =
            Json::array({{{"from", 1.5}, {"to", 3.2}, {"location", 2}, {"content", "First line"}},
                         {{"from", 4}, {"to", 6.5}, {"location", 2}, {"content", "Second line"}}});
    } else if (name == std::string(kSubtitledCid) + "-ai-zh") {
        body = Json::array(
            {{{"from", 1.4}, {"to", 3.3}, {"location", 2}, {"content", "第一句（自动）"}}});
    } else if (name == std::string(kOtherSubtitleCid) + "-zh-CN") {
        body = Json::array(
            {{{"from", 0.5}, {"to", 1.5}, {"location", 2}, {"content", "另一分P的字幕"}}});
    } else {
        return sendNothingFound(response);
    }
    sendJson(response, {{"font_size", 0.4}, {"font_color", "#FFFFFF"}, {"body", std::move(body)}});
}

std::string deflateRaw(const std::string& text) {
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string comment(double seconds, int mode, int size, long color, long long id,
                    const std::string& text) {
    char p[128];
    std::snprintf(p, sizeof p, "%.3f,%d,%d,%ld,1700000000,0,u%lld,%lld", seconds, mode, size, color,
                  id % 997, id);
    return "<d p=\"" + std::string(p) + "\">" + text + "</d>";
}

std::string xmlOf(const std::string& cid, const std::string& comments) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><i><chatserver>comment.example.invalid"
           "</chatserver><chatid>" +
           cid +
           "</chatid><mission>0</mission><maxlimit>8000"
           "</maxlimit><state>0</state><real_name>0</real_name><source>k-v</source>" +
           comments + "</i>";
}

// Every mode (special ones too), size and colour, spread over the part's hour.
std::string crowdedComments() {
    static constexpr int kModes[] = {1, 1, 1, 1, 4, 5, 2, 3, 6, 7};
    static constexpr int kSizes[] = {25, 25, 18, 36};
    static constexpr long kColors[] = {16777215, 16777215, 16711680, 65280, 255, 16776960, 0};
    static const char* const kTexts[] = {
        "前方高能", "哈哈哈哈哈哈", "&lt;3 &amp; 🎉", "第一次看到这么长的弹幕从右边一直飘到左边",
        "w",        "노래 좋다",    "かわいい"};
    std::string out;
    for (int i = 0; i < kCrowdedDanmakuCount; ++i) {
        out +=
            comment(i * 0.18, kModes[i % 10], kSizes[i % 4], kColors[i % 7], i + 1, kTexts[i % 7]);
    }
    return out;
}

std::string overrideComments() {
    return comment(0.5, 1, 25, 16777215, 1, "{\\pos(0,0)}不在左上角") +
           comment(0.8, 5, 25, 16777215, 2, "{\\c&amp;H0000FF&amp;}不是红色") +
           comment(1.0, 4, 25, 16777215, 3, "反斜杠\\N不换行") +
           comment(1.2, 1, 25, 16777215, 4, "真的&#10;换行");
}

// Past the client's cap once inflated, a few hundred KiB as sent: one comment fed to the
// compressor again and again, never held inflated.
const std::string& bombBody() {
    static const std::string body = [] {
        const std::string head = xmlOf(kDanmakuBombCid, "");
        const std::string one = comment(1, 1, 25, 16777215, 1, std::string(200, 'x'));
        z_stream stream{};
        deflateInit2(&stream, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        std::string out;
        std::array<char, 1 << 16> chunk{};
        const auto feed = [&](const std::string& text, int flush) {
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
            stream.avail_in = static_cast<uInt>(text.size());
            do {
                stream.next_out = reinterpret_cast<Bytef*>(chunk.data());
                stream.avail_out = static_cast<uInt>(chunk.size());
                deflate(&stream, flush);
                out.append(chunk.data(), chunk.size() - stream.avail_out);
            } while (stream.avail_out == 0);
        };
        feed(head.substr(0, head.size() - 4), Z_NO_FLUSH);  // without "</i>"
        for (std::size_t fed = 0; fed < (65u << 20); fed += one.size()) feed(one, Z_NO_FLUSH);
        feed("</i>", Z_FINISH);
        deflateEnd(&stream);
        return out;
    }();
    return body;
}

void answerDanmaku(const httplib::Request& request, httplib::Response& response) {
    const auto oid = numberParameter(request, "oid");
    if (!oid) return sendBadRequest(response);
    const std::string cid = std::to_string(*oid);
    std::string body;
    if (cid == kDanmakuBombCid) {
        body = bombBody();
    } else {
        body = deflateRaw(xmlOf(cid, cid == kCrowdedDanmakuCid    ? crowdedComments()
                                     : cid == kOverrideDanmakuCid ? overrideComments()
                                                                  : std::string()));
    }
    response.set_content(std::move(body), "text/xml");
}

}  // namespace

void registerCommentEndpoints(httplib::Server& server, SiteState& state) {
    addRoute(server, state, "GET", "/x/player/wbi/v2",
             [&state](const httplib::Request& request, httplib::Response& response) {
                 answerPlayerInfo(request, response, state);
             });
    addRoute(server, state, "GET", R"(/bfs/subtitle/([0-9A-Za-z-]+)\.json)",
             [](const httplib::Request& request, httplib::Response& response) {
                 answerSubtitleBody(request, response);
             });
    addRoute(server, state, "GET", "/x/v1/dm/list.so",
             [](const httplib::Request& request, httplib::Response& response) {
                 answerDanmaku(request, response);
             });
}

}  // namespace devsite

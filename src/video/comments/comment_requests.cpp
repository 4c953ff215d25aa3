#include "video/comments/comment_requests.h"

#include "base/proxy_route.h"
#include "net/answer_reason.h"
#include "net/http_request.h"
#include "net/raw_inflate.h"
#include "net/text_encoding.h"
#include "video/listing/list_requests.h"

namespace quivra {

namespace {

// The site's texts of this file are UTF-8; the failures are shown as local text.
std::string local(const std::string& utf8) {
    return localText(utf8.c_str());
}

struct Fetched {
    std::string body;
    std::string failure;
};

Fetched fetch(const CommentSource& source, const std::string& url) {
    std::string cookie = source.cookie;
    int status = 0;
    HttpOutcome outcome = HttpOutcome::NoAnswer;
    HttpRequestOptions options;
    options.headers = kBrowserUserAgentLine;
    options.cookies = cookie.empty() ? nullptr : &cookie;
    options.statusCode = &status;
    options.outcome = &outcome;
    Fetched fetched;
    fetched.body = siteRequest(url, options);
    if (outcome != HttpOutcome::Whole) {
        fetched.failure = unreadableAnswerReason(outcome, fetched.body);
    } else if (status != 200) {
        fetched.failure = local("站点回答HTTP ") + std::to_string(status);
    }
    return fetched;
}

// "//host/path" takes the scheme of the site's interface; only http and https are fetched.
std::string withScheme(const std::string& url, const std::string& api) {
    if (url.starts_with("//")) return api.substr(0, api.find("//")) + url;
    if (url.starts_with("http://") || url.starts_with("https://")) return url;
    return {};
}

}  // namespace

PlayerInfo fetchPlayerInfo(const CommentSource& source, const std::string& aid,
                           const std::string& cid) {
    PlayerInfo info;
    ListingRequest request;
    request.site = source.site;
    request.cookie = source.cookie;
    request.timings = source.timings;
    request.keys = source.keys;
    ListRequests requests(request, nullptr, nullptr);
    const ListAnswer answer =
        requests.fetch({"/x/player/wbi/v2", {{"aid", aid}, {"cid", cid}}, true});
    if (!answer.failure.empty()) {
        info.failure = answer.failure;
        return info;
    }
    const JsonObject& json = answer.json;
    if (json.valueText("data.cid") != cid) {
        info.failure = local("站点给出的是另一分P的字幕（cid ") + json.valueText("data.cid") + ")";
        return info;
    }
    const int subtitles = json.count("data.subtitle.subtitles");
    for (int i = 0; i < subtitles; ++i) {
        const std::string at = "data.subtitle.subtitles[" + std::to_string(i) + "]";
        SubtitleTrack track;
        track.lan = json.getText(at + ".lan");
        track.lanDoc = json.getText(at + ".lan_doc");
        track.url = withScheme(json.getText(at + ".subtitle_url"), source.site.api);
        track.ai = track.lan.starts_with("ai-") || json.valueText(at + ".ai_type") != "0";
        if (!track.lan.empty() && !track.url.empty()) info.subtitles.push_back(std::move(track));
    }
    const int points = json.count("data.view_points");
    for (int i = 0; i < points; ++i) {
        const std::string at = "data.view_points[" + std::to_string(i) + "]";
        Chapter chapter{json.getText(at + ".content"), json.getNumber(at + ".from"),
                        json.getNumber(at + ".to")};
        if (chapter.to > chapter.from) {
            info.chapters.push_back(std::move(chapter));
        } else {
            ++info.skippedChapters;
        }
    }
    return info;
}

SubtitleFetch fetchSubtitle(const CommentSource& source, const SubtitleTrack& track,
                            double videoSeconds) {
    SubtitleFetch result;
    const Fetched fetched = fetch(source, track.url);
    if (!fetched.failure.empty()) {
        result.failure = fetched.failure;
        return result;
    }
    result.body = parseSubtitleBody(fetched.body, videoSeconds);
    result.failure = local(result.body.problem);
    return result;
}

DanmakuFetch fetchDanmaku(const CommentSource& source, const std::string& cid) {
    DanmakuFetch result;
    const Fetched fetched = fetch(source, source.site.api + "/x/v1/dm/list.so?oid=" + cid);
    if (!fetched.failure.empty()) {
        result.failure = fetched.failure;
        return result;
    }
    Inflated inflated = inflateRaw(fetched.body, kMaxDanmakuBytes);
    switch (inflated.outcome) {
        case Inflated::NotDeflate:
            result.failure = local("弹幕不是deflate压缩的数据");
            return result;
        case Inflated::TooLarge:
            result.failure = local("弹幕解压后超过64MiB，已拒绝");
            return result;
        case Inflated::Cut:
        case Inflated::Whole:
            break;
    }
    result.list = parseDanmakuXml(inflated.text);
    if (inflated.outcome == Inflated::Cut && result.list.problem.empty()) {
        result.list.problem = "弹幕不完整";
    }
    // Not XML at all is a failure; a cut list is kept with its reason.
    if (result.list.comments.empty() && !result.list.problem.empty()) {
        result.failure = local(result.list.problem);
    }
    result.xml = std::move(inflated.text);
    return result;
}

}  // namespace quivra

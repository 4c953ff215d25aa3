#include "video/video_info.h"

#include <algorithm>
#include <utility>

#include "base/config_file.h"
#include "base/date_text.h"
#include "base/proxy_route.h"
#include "base/shared_state.h"
#include "net/answer_reason.h"
#include "net/http_request.h"
#include "net/json_object.h"
#include "net/text_encoding.h"
#include "video/title_cleaning.h"

namespace quivra {
namespace {

PageEntry readPage(const JsonObject& json, const JsonObject& sent, int index) {
    const std::string prefix = "data.pages[" + std::to_string(index) + "]";
    PageEntry page;
    page.partUtf8 = sent.getUtf8(prefix + ".part");
    page.cid = json.valueText(prefix + ".cid");
    page.page = json.valueText(prefix + ".page");
    page.part = json.getText(prefix + ".part");
    page.duration = formatDuration(textToInteger(json.valueText(prefix + ".duration")));
    return page;
}

// Codes with which the site says it has no such video (or none it shows).
bool isUnknownVideoCode(const std::string& code) {
    return code == "-404" || code == "62002" || code == "62004";
}

}  // namespace

VideoInfoAnswer fetchVideoInfo(const std::string& bvid) {
    HttpRequestOptions options;
    options.headers = kBrowserUserAgentLine;
    HttpOutcome outcome = HttpOutcome::NoAnswer;
    options.outcome = &outcome;
    const std::string sentBody =
        siteRequest(sharedState().site.api + "/x/web-interface/view?bvid=" + bvid, options);
    const std::string body = utf8ToLocalText(sentBody);

    VideoInfoAnswer answer;
    JsonObject json;
    if (!json.parse(body)) {
        answer.failure = ParseFailure::Unusable;
        answer.reason = unreadableAnswerReason(outcome, body);
        return answer;
    }
    if (const std::string code = json.valueText("code"); code != "0") {
        answer.failure =
            isUnknownVideoCode(code) ? ParseFailure::UnknownVideo : ParseFailure::Unusable;
        answer.reason = refusedAnswerReason(code, json.getText("message"));
        json.clear();
        return answer;
    }

    // The texts to show are read once more from the answer as sent.
    JsonObject sent;
    sent.parseUtf8(sentBody);
    VideoRecord& filled = answer.record;
    filled.bvid = bvid;
    filled.videos = textToInteger(json.valueText("data.videos"));
    filled.siteTitle = json.getText("data.title");
    filled.title = cleanTitle(filled.siteTitle);
    filled.titleUtf8 = sent.getUtf8("data.title");
    filled.desc = json.getText("data.desc");
    filled.descUtf8 = sent.getUtf8("data.desc");
    filled.pic = json.getText("data.pic");
    filled.duration = formatDuration(textToInteger(json.valueText("data.duration")));
    filled.cid = json.valueText("data.cid");
    filled.owner.mid = json.valueText("data.owner.mid");
    filled.owner.name = json.getText("data.owner.name");
    filled.owner.nameUtf8 = sent.getUtf8("data.owner.name");
    filled.owner.face = json.getText("data.owner.face");
    filled.stat.view = json.valueText("data.stat.view");
    filled.stat.pubdate = timestampToDate(json.valueText("data.pubdate"));
    filled.stat.favorite = json.valueText("data.stat.favorite");
    filled.stat.coin = json.valueText("data.stat.coin");
    filled.stat.like = json.valueText("data.stat.like");
    filled.stat.share = json.valueText("data.stat.share");
    filled.stat.danmaku = json.valueText("data.stat.danmaku");
    filled.stat.reply = json.valueText("data.stat.reply");

    // The answer may claim more parts than it lists; entries past the list are empty.
    const int parts = std::min(filled.videos, kMaxListedParts);
    filled.pages.reserve(parts > 0 ? parts : 0);
    for (int i = 0; i < parts; ++i) filled.pages.push_back(readPage(json, sent, i));
    json.clear();
    answer.parts = filled.videos;
    return answer;
}

int requestVideoInfo(const std::string& bvid, VideoRecord& record, std::string* failureReason) {
    VideoInfoAnswer answer = fetchVideoInfo(bvid);
    if (answer.failure != ParseFailure::None) {
        if (failureReason) *failureReason = answer.reason;
        return -1;
    }
    answer.record.bvid = record.bvid;  // left to the caller
    record = std::move(answer.record);
    return answer.parts;
}

std::vector<PageEntry> listedPages(const VideoInfoAnswer& answer) {
    const std::vector<PageEntry>& pages = answer.record.pages;
    const size_t rows = answer.parts > 0 && answer.failure == ParseFailure::None
                            ? std::min<size_t>(answer.parts, pages.size())
                            : 0;
    return {pages.begin(), pages.begin() + static_cast<long>(rows)};
}

ParseFailure listingFailure(const VideoInfoAnswer& answer) {
    return answer.failure == ParseFailure::None ? ParseFailure::NoParts : answer.failure;
}

std::string noIdentifierMessage() {
    return localText("请输入正确的视频地址、bvid、avid");
}

}  // namespace quivra

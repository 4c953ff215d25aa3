#include "video/listing/list_requests.h"

#include <algorithm>
#include <ctime>
#include <thread>
#include <utility>

#include "base/proxy_route.h"
#include "net/answer_reason.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

constexpr std::chrono::milliseconds kStopLookInterval{10};

bool isRefusalCode(const std::string& code) {
    return code == "-352" || code == "-412";
}

std::string plainQuery(const QueryParameters& parameters) {
    std::string query;
    for (const auto& [key, value] : parameters) {
        if (!query.empty()) query += '&';
        query += key + '=' + value;
    }
    return query;
}

std::string secondsText(int milliseconds) {
    return std::to_string((std::max(milliseconds, 0) + 999) / 1000);
}

}  // namespace

ListRequests::ListRequests(const ListingRequest& request, ListingView* view,
                           const std::atomic<bool>* stop)
    : request_(request),
      view_(view),
      stop_(stop),
      mixingKey_(request.keys ? request.keys->mixingKey() : std::string()) {}

ListAnswer ListRequests::fetch(const ListQuery& query) {
    ListAnswer answer;
    bool keysRefreshed = false;
    size_t waits = 0;
    while (true) {
        const bool fetchingKeys = query.sign && mixingKey_.empty();
        std::unique_lock<std::mutex> fetchingShared;
        if (fetchingKeys && request_.keys) {
            fetchingShared = request_.keys->fetching();
            // Another listing may have fetched them meanwhile (not after a -352: those are old).
            if (!keysRefreshed) mixingKey_ = request_.keys->mixingKey();
            if (!mixingKey_.empty()) continue;
        }
        Sent sent = send(fetchingKeys ? ListQuery{"/x/web-interface/nav", {}} : query);
        if (sent.verdict == Verdict::Stopped) {
            answer.stopped = true;
            return answer;
        }
        if (sent.verdict == Verdict::Unreadable) {
            answer.failure =
                fetchingKeys ? localText("无法取得签名密钥：") + sent.failure : sent.failure;
            return answer;
        }
        if (sent.verdict == Verdict::Answered && fetchingKeys) {
            answer.failure = keepKeys(sent.json);
            if (!answer.failure.empty()) return answer;
            continue;
        }
        if (sent.verdict == Verdict::Answered) {
            if (sent.code == "0") {
                answer.json = std::move(sent.json);
            } else if (sent.code == "-101") {
                answer.failure = localText("需要登录才能列出") +
                                 listKindName(request_.address.kind) +
                                 localText("，请先登录（-101）");
            } else {
                answer.failure = refusedAnswerReason(sent.code, sent.json.getText("message"));
            }
            return answer;
        }
        // Keys of yesterday get -352 too: fetch them anew once before counting a refusal.
        if (query.sign && !fetchingKeys && sent.code == "-352" && !keysRefreshed) {
            keysRefreshed = true;
            mixingKey_.clear();
            continue;
        }
        refused_ = true;
        if (waits >= request_.timings.refusalWaitsMs.size()) {
            answer.failure =
                localText("请求过于频繁，站点一再拒绝（") + sent.code + localText("），已停止");
            return answer;
        }
        const int waitMs = request_.timings.refusalWaitsMs[waits++];
        if (view_) {
            view_->showWaiting(localText("请求过于频繁，") + secondsText(waitMs) +
                               localText("秒后继续"));
        }
        if (!waitUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs))) {
            answer.stopped = true;
            return answer;
        }
    }
}

ListRequests::Sent ListRequests::send(const ListQuery& query) {
    Sent sent;
    if (!pace()) {
        sent.verdict = Verdict::Stopped;
        return sent;
    }
    std::string cookie = request_.cookie;
    int status = 0;
    HttpOutcome outcome = HttpOutcome::NoAnswer;
    HttpRequestOptions options;
    options.headers = kBrowserUserAgentLine;
    options.cookies = cookie.empty() ? nullptr : &cookie;
    options.statusCode = &status;
    options.outcome = &outcome;
    options.requestObject = &session_;
    const std::string body = utf8ToLocalText(siteRequest(urlOf(query), options));
    if (status == 412) {
        sent.verdict = Verdict::Refused;
        sent.code = "412";
        return sent;
    }
    if (!sent.json.parse(body)) {
        sent.verdict = Verdict::Unreadable;
        sent.failure = unreadableAnswerReason(outcome, body);
        return sent;
    }
    sent.code = sent.json.valueText("code");
    sent.verdict = isRefusalCode(sent.code) ? Verdict::Refused : Verdict::Answered;
    return sent;
}

std::string ListRequests::urlOf(const ListQuery& query) const {
    const std::string text = query.sign
                                 ? signWbiQuery(query.parameters, std::time(nullptr), mixingKey_)
                                 : plainQuery(query.parameters);
    return request_.site.api + query.path + (text.empty() ? "" : "?" + text);
}

std::string ListRequests::keepKeys(const JsonObject& nav) {
    const std::string imgKey = wbiKeyOfAddress(nav.getText("data.wbi_img.img_url"));
    const std::string subKey = wbiKeyOfAddress(nav.getText("data.wbi_img.sub_url"));
    if (imgKey.empty() || subKey.empty()) {
        return localText("无法取得签名密钥：回答中没有密钥");
    }
    mixingKey_ = wbiMixingKey(imgKey, subKey);
    if (request_.keys) request_.keys->keep(mixingKey_);
    return "";
}

bool ListRequests::pace() {
    if (refused_ &&
        !waitUntil(lastSent_ + std::chrono::milliseconds(request_.timings.paceAfterRefusalMs))) {
        return false;
    }
    lastSent_ = std::chrono::steady_clock::now();
    return true;
}

bool ListRequests::waitUntil(std::chrono::steady_clock::time_point end) {
    while (true) {
        if (stopRequested()) return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return true;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(end - now, kStopLookInterval));
    }
}

}  // namespace quivra

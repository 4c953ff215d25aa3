// Account data and the QR login conversation.
#include <ctime>

#include "devsite/site_state.h"
#include "devsite/wbi_check.h"

namespace devsite {

namespace {

std::string hostBase(const httplib::Request& request, const SiteState& state) {
    std::string host = request.get_header_value("Host");
    if (host.empty()) host = "127.0.0.1:" + std::to_string(state.port.load());
    return "http://" + host;
}

// A field of a form body, whatever Content-Type the client declared.
std::string formField(const std::string& body, const std::string& name) {
    std::size_t start = 0;
    while (start <= body.size()) {
        auto end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        const std::string pair = body.substr(start, end - start);
        const auto equals = pair.find('=');
        if (equals != std::string::npos && percentDecode(pair.substr(0, equals)) == name)
            return percentDecode(pair.substr(equals + 1));
        start = end + 1;
    }
    return {};
}

std::string httpDate(std::time_t when) {
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

void answerNav(const httplib::Request& request, httplib::Response& response,
               const SiteState& state) {
    const std::string cookie = request.get_header_value("Cookie");
    const char* who = isMemberCookie(cookie) ? "member" : isPlainCookie(cookie) ? "plain" : nullptr;
    // The signature keys come with every answer, logged in or not.
    const WbiKeys keys = wbiKeys(state.wbiRotations.load());
    const std::string keyBase = hostBase(request, state) + "/bfs/wbi/";
    const Json wbiImg = {{"img_url", keyBase + keys.img + ".png"},
                         {"sub_url", keyBase + keys.sub + ".png"}};
    if (!who) {
        sendJson(response, {{"code", -101},
                            {"message", "账号未登录"},
                            {"data", {{"loggedIn", false}, {"wbi_img", wbiImg}}}});
        return;
    }
    Json data = state.accounts[who];
    data["wbi_img"] = wbiImg;
    sendJson(response, {{"code", 0}, {"message", "0"}, {"data", std::move(data)}});
}

void answerLoginUrl(const httplib::Request& request, httplib::Response& response,
                    SiteState& state) {
    const std::string key = state.newQrKey();
    sendJson(response, {{"code", 0},
                        {"status", true},
                        {"time", static_cast<long long>(std::time(nullptr))},
                        {"data",
                         {{"url", hostBase(request, state) + "/qrcode/approval?oauthKey=" + key},
                          {"oauthKey", key}}}});
}

const char* pollMessage(int code) {
    switch (code) {
        case -1:
            return "Can't find the key";
        case -2:
            return "The key has expired";
        case -4:
            return "Not scanned yet";
        case -5:
            return "Not confirmed yet";
        default:
            return "Unexpected state";
    }
}

void answerLoginInfo(const httplib::Request& request, httplib::Response& response,
                     SiteState& state) {
    std::string key = formField(request.body, "oauthKey");
    if (key.empty()) key = request.get_param_value("oauthKey");
    const std::optional<QrStep> step = state.nextQrStep(key);
    if (!step || !step->success) {
        const int code = step ? step->code : -2;
        sendJson(response, {{"status", false}, {"data", code}, {"message", pollMessage(code)}});
        return;
    }
    // The login cookies; only the first pair of each line counts for the client.
    const std::string expires =
        "; Path=/; Expires=" + httpDate(std::time(nullptr) + 180 * 24 * 3600);
    response.set_header("Set-Cookie", std::string(kMemberCookie) + expires + "; HttpOnly");
    response.set_header("Set-Cookie", "quid=20001" + expires);
    response.set_header("Set-Cookie", "csrf_token=5f0c2b7e91d4a3c86e2f1b0d9a7c4e31" + expires);
    const std::string gourl = formField(request.body, "gourl");
    sendJson(
        response,
        {{"code", 0},
         {"status", true},
         {"time", static_cast<long long>(std::time(nullptr))},
         {"data", {{"url", hostBase(request, state) + "/qrcode/done?quid=20001&gourl=" + gourl}}}});
}

}  // namespace

void registerAccountEndpoints(httplib::Server& server, SiteState& state) {
    addRoute(server, state, "GET", "/x/web-interface/nav",
             [&state](const httplib::Request& request, httplib::Response& response) {
                 answerNav(request, response, state);
             });
    // An author's page, as the browser opens it from a search hit.
    addRoute(server, state, "GET", "/([0-9]+)/?",
             [](const httplib::Request& request, httplib::Response& response) {
                 response.set_content("<!DOCTYPE html><meta charset=\"utf-8\"><title>" +
                                          request.matches[1].str() + "</title><h1>作者 " +
                                          request.matches[1].str() + "</h1>",
                                      "text/html; charset=utf-8");
             });
    addRoute(server, state, "GET", "/qrcode/getLoginUrl",
             [&state](const httplib::Request& request, httplib::Response& response) {
                 answerLoginUrl(request, response, state);
             });
    addRoute(server, state, "POST", "/qrcode/getLoginInfo",
             [&state](const httplib::Request& request, httplib::Response& response) {
                 answerLoginInfo(request, response, state);
             });
}

}  // namespace devsite

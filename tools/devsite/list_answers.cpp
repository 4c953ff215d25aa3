#include "devsite/list_answers.h"

#include <algorithm>
#include <charconv>

namespace devsite {

void addListRoute(httplib::Server& server, SiteState& state, const std::string& path,
                  Handler handler) {
    addRoute(server, state, "GET", path,
             [&state, handler = std::move(handler)](const httplib::Request& request,
                                                    httplib::Response& response) {
                 const int code = state.takeListRefusal();
                 if (code == 412) {
                     response.status = 412;
                     response.set_content(
                         "<!DOCTYPE html><title>412</title><p>由于触发风控，本次访问已被禁止</p>",
                         "text/html; charset=utf-8");
                 } else if (code != 0) {
                     sendJson(response, {{"code", code}, {"message", "请求过于频繁"}});
                 } else {
                     handler(request, response);
                 }
             });
}

std::optional<long long> numberParameter(const httplib::Request& request, const char* name) {
    if (!request.has_param(name)) return std::nullopt;
    const std::string text = request.get_param_value(name);
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    long long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

void sendBadRequest(httplib::Response& response) {
    sendJson(response, {{"code", -400}, {"message", "请求错误"}, {"ttl", 1}});
}

void sendNothingFound(httplib::Response& response) {
    sendJson(response, {{"code", -404}, {"message", "啥都木有"}, {"ttl", 1}});
}

PageSpan pageSpan(long long number, long long size, long long count) {
    // Far pages are empty, not an overflow.
    if (number > count) return {count, count};
    const long long first = std::min(count, (number - 1) * size);
    return {first, std::min(count, first + size)};
}

std::optional<PageRequest> pageRequest(const httplib::Request& request, const char* pageKey,
                                       const char* sizeKey, long long defaultSize,
                                       long long maxSize) {
    PageRequest page{1, defaultSize};
    if (request.has_param(pageKey)) {
        const auto number = numberParameter(request, pageKey);
        if (!number || *number < 1) return std::nullopt;
        page.number = *number;
    }
    if (request.has_param(sizeKey)) {
        const auto size = numberParameter(request, sizeKey);
        if (!size) return std::nullopt;
        page.size = std::clamp(*size, 1LL, maxSize);
    }
    return page;
}

int newVideoCount(const SiteState& state) {
    return static_cast<int>(state.videos.newVideos().size());
}

Json videoData(const SiteState& state, const std::string& bvid) {
    const auto answer = state.videos.find(bvid);
    return answer ? (*answer)["data"] : Json::object();
}

}  // namespace devsite

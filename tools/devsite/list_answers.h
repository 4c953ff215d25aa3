// What the list endpoints share: the refusal switch, number parameters, error answers,
// paging, and the facts of a listed video taken from its information answer.
#pragma once

#include <optional>
#include <string>

#include "devsite/site_state.h"

namespace devsite {

// A route of a list endpoint: every nth request is refused as refuseListRequests says.
void addListRoute(httplib::Server& server, SiteState& state, const std::string& path,
                  Handler handler);

// A parameter that must be a whole number; nullopt when it is missing or is not one.
std::optional<long long> numberParameter(const httplib::Request& request, const char* name);

// -400 "请求错误" (a parameter that is not a number) or -404 "啥都木有" (nothing by that id).
void sendBadRequest(httplib::Response& response);
void sendNothingFound(httplib::Response& response);

// The positions [first, end) of page `number` of `size` entries in a list of `count`.
struct PageSpan {
    long long first = 0;
    long long end = 0;
};
PageSpan pageSpan(long long number, long long size, long long count);

// The page number and size of a request: `pageKey` defaults to 1, `sizeKey` to
// `defaultSize`, clamped to 1 .. maxSize; nullopt when either is not a number or the page
// is below 1.
struct PageRequest {
    long long number = 1;
    long long size = 0;
};
std::optional<PageRequest> pageRequest(const httplib::Request& request, const char* pageKey,
                                       const char* sizeKey, long long defaultSize,
                                       long long maxSize);

// How many videos a test added (newVideo in list_videos.h).
int newVideoCount(const SiteState& state);

// The `data` of a known video's information answer.
Json videoData(const SiteState& state, const std::string& bvid);

}  // namespace devsite

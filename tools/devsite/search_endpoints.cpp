// Search pages: deterministic hits made from the keyword and the page.
#include <algorithm>
#include <array>
#include <ctime>

#include "devsite/site_state.h"

namespace devsite {

namespace {

constexpr int kManyResults = 1000;
constexpr int kFewResults = 7;

// A search answer has 11 sections; the ninth holds the videos, the others stay empty.
constexpr int kSectionCount = 11;
constexpr int kVideoSection = 8;

std::string sectionName(int index) {
    return index == kVideoSection ? "video" : "section" + std::to_string(index + 1);
}

std::uint64_t fingerprint(const std::string& text, std::uint64_t salt) {
    std::uint64_t hash = 1469598103934665603ull ^ salt;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash ^ (hash >> 29);
}

std::string madeBvid(std::uint64_t seed) {
    static const char* const alphabet =
        "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
    std::string bvid = "BV1";
    for (int i = 0; i < 9; ++i) {
        bvid += alphabet[seed % 58];
        seed /= 58;
    }
    return bvid;
}

int resultCount(const std::string& keyword) {
    if (keyword == "nothing") return 0;
    if (keyword == "few") return kFewResults;
    return kManyResults;
}

int intParam(const httplib::Request& request, const char* name, int fallback) {
    const std::string text = request.get_param_value(name);
    try {
        return text.empty() ? fallback : std::stoi(text);
    } catch (const std::exception&) {
        return fallback;
    }
}

Json hit(const std::string& keyword, int index) {
    const std::uint64_t seed = fingerprint(keyword, static_cast<std::uint64_t>(index));
    // The first hits are the site's own videos, so that a hit can be parsed for real.
    const std::array<const char*, 3> own = {kOnePartBvid, kTwelvePartBvid, kOddTitleBvid};
    const std::string bvid = index < static_cast<int>(own.size()) ? own[index] : madeBvid(seed);
    const int seconds = 30 + static_cast<int>(seed % 1800);
    const long long mid = 30000 + static_cast<long long>(seed % 5000);
    char duration[16];
    std::snprintf(duration, sizeof duration, "%d:%02d", seconds / 60, seconds % 60);
    return {{"type", "video"},
            {"id", 900000 + index},
            {"author", "作者" + std::to_string(mid)},
            {"mid", mid},
            {"bvid", bvid},
            {"title", "第" + std::to_string(index + 1) + "个 <em class=\"keyword\">" + keyword +
                          "</em> 练习视频"},
            {"description", "Result " + std::to_string(index + 1)},
            {"pic", "//i0.example.invalid/cover/s" + std::to_string(seed % 100000) + ".jpg"},
            {"play", static_cast<long long>(seed % 2000000)},
            {"video_review", static_cast<long long>(seed % 9000)},
            {"favorites", static_cast<long long>(seed % 40000)},
            {"tags", "练习,示例"},
            {"review", static_cast<long long>(seed % 3000)},
            {"pubdate", 1500000000LL + static_cast<long long>(seed % 200000000)},
            {"duration", duration}};
}

void answerSearch(const httplib::Request& request, httplib::Response& response) {
    const std::string keyword = request.get_param_value("keyword");
    const int pageSize = std::clamp(intParam(request, "pagesize", 20), 1, 50);
    const int page = std::max(1, intParam(request, "page", 1));
    const int total = resultCount(keyword);
    const int pages = (total + pageSize - 1) / pageSize;
    Json hits = Json::array();
    // In 64 bits: a page number near the int limit must give an empty page, not overflow.
    const long long first = (static_cast<long long>(page) - 1) * pageSize;
    for (long long index = first; index < std::min<long long>(total, first + pageSize); ++index)
        hits.push_back(hit(keyword, static_cast<int>(index)));
    Json sections = Json::array();
    for (int index = 0; index < kSectionCount; ++index) {
        sections.push_back({{"name", sectionName(index)},
                            {"data", index == kVideoSection ? std::move(hits) : Json::array()}});
    }
    sendJson(response, {{"code", 0},
                        {"message", "0"},
                        {"data",
                         {{"page", page},
                          {"pagesize", pageSize},
                          {"numResults", total},
                          {"numPages", pages},
                          {"result", std::move(sections)}}}});
}

}  // namespace

void registerSearchEndpoints(httplib::Server& server, SiteState& state) {
    addRoute(server, state, "GET", kSearchPath,
             [](const httplib::Request& request, httplib::Response& response) {
                 answerSearch(request, response);
             });
}

}  // namespace devsite

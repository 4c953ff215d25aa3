#include "search/search_request.h"

#include "base/config_file.h"
#include "base/date_text.h"
#include "base/proxy_route.h"
#include "base/shared_state.h"
#include "net/http_request.h"
#include "net/json_object.h"
#include "net/text_encoding.h"
#include "search/keyword_encoding.h"

namespace quivra {

namespace {

void removeAll(std::string& text, const std::string& tag) {
    for (size_t at = text.find(tag); at != std::string::npos; at = text.find(tag, at)) {
        text.erase(at, tag.size());
    }
}

SearchHit readHit(const JsonObject& json, const std::string& entry) {
    SearchHit hit;
    hit.bvid = json.getText(entry + ".bvid");
    hit.author = json.getText(entry + ".author");
    hit.mid = json.valueText(entry + ".mid");
    hit.title = json.getText(entry + ".title");
    removeAll(hit.title, "<em class=\"keyword\">");
    removeAll(hit.title, "</em>");
    hit.pic = "https:" + json.getText(entry + ".pic");
    hit.play = json.valueText(entry + ".play");
    hit.videoReview = json.valueText(entry + "['video_review']");
    hit.favorites = json.valueText(entry + ".favorites");
    hit.review = json.valueText(entry + ".review");
    hit.pubdate = timestampToDate(json.valueText(entry + ".pubdate"));
    hit.duration = json.getText(entry + ".duration");
    return hit;
}

}  // namespace

int searchRequest(const std::string& keyword, SearchState& state, std::vector<SearchHit>& hits) {
    const std::string url = sharedState().site.api +
                            "/x/web-interface/search/all/v2?keyword=" + encodeKeyword(keyword) +
                            "&page=" + std::to_string(state.currentPage) +
                            "&pagesize=" + std::to_string(state.pageSize);
    HttpRequestOptions options;
    options.method = 0;
    options.headers = kBrowserUserAgentLine;
    JsonObject json;
    if (!json.parse(utf8ToLocalText(siteRequest(url, options)))) return -1;
    if (json.valueText("code") != "0") {
        json.clear();
        return -1;
    }
    hits.clear();
    state.pageCount = textToInteger(json.valueText("data.numPages"));
    state.resultCount = textToInteger(json.valueText("data.numResults"));
    const std::string list = "data.result[8].data";
    const int count = json.count(list);
    hits.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        hits.push_back(readHit(json, list + "[" + std::to_string(i) + "]"));
    }
    json.clear();
    return count;
}

}  // namespace quivra

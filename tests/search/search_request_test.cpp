#include "search/search_request.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "base/date_text.h"
#include "net/http_request.h"
#include "net/text_encoding.h"
#include "support/local_site.h"

namespace quivra {
namespace {

class SearchRequestTest : public test::LocalSiteTest {
  protected:
    static SearchState page(int number) {
        SearchState state;
        state.currentPage = number;
        state.pageSize = kSearchPageSize;
        return state;
    }

    // A site answer with the given video entries in the ninth section.
    static std::string answerWithVideos(const std::string& videos) {
        std::string sections;
        for (int i = 1; i <= 8; ++i)
            sections += R"({"name":"section)" + std::to_string(i) + R"(","data":[]},)";
        return R"({"code":0,"message":"0","data":{"numResults":3,"numPages":1,"result":[)" +
               sections + R"({"name":"video","data":[)" + videos + "]}]}}";
    }
};

TEST_F(SearchRequestTest, KeywordAndPageReachTheSiteEncodedWithTheBrowserLineAndNoCookie) {
    setUserCookie(devsite::kMemberCookie);  // never sent by a search
    SearchState state = page(3);
    std::vector<SearchHit> hits;
    const std::string keyword = "练习 abc-1.5";
    ASSERT_EQ(searchRequest(keyword, state, hits), 20);

    const auto requests = site().requestsTo(devsite::kSearchPath);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].query, "keyword=%E7%BB%83%E4%B9%A0%20abc-1.5&page=3&pagesize=20");
    EXPECT_EQ("User-Agent: " + requests[0].header("User-Agent"),
              std::string(kBrowserUserAgentLine));
    EXPECT_FALSE(requests[0].hasHeader("Cookie"));

    // The site read the keyword back: it stands in every title, between the tags.
    EXPECT_EQ(localToUtf8(hits[0].title), "第41个 练习 abc-1.5 练习视频");
    EXPECT_EQ(localToUtf8(hits[19].title), "第60个 练习 abc-1.5 练习视频");
    EXPECT_EQ(state.pageCount, 50);
    EXPECT_EQ(state.resultCount, 1000);
    EXPECT_EQ(state.currentPage, 3);
}

TEST_F(SearchRequestTest, HitsCarryTheirFieldsInTheShapeTheListShows) {
    SearchState state = page(1);
    std::vector<SearchHit> hits;
    ASSERT_EQ(searchRequest("quivra", state, hits), 20);
    ASSERT_EQ(hits.size(), 20u);
    EXPECT_EQ(hits[0].bvid, devsite::kOnePartBvid);
    EXPECT_EQ(hits[1].bvid, devsite::kTwelvePartBvid);
    const std::regex pic(R"(https://i0\.example\.invalid/cover/s\d+\.jpg)");
    const std::regex digits(R"(\d+)");
    const std::regex date(R"(\d{4}-\d{2}-\d{2} \d{1,2}:\d{2}:\d{2}( [AP]M)?)");
    for (const SearchHit& hit : hits) {
        EXPECT_EQ(hit.title.find("<em"), std::string::npos) << hit.title;
        EXPECT_EQ(hit.title.find("</em>"), std::string::npos) << hit.title;
        EXPECT_TRUE(std::regex_match(hit.pic, pic)) << hit.pic;
        for (const std::string* number :
             {&hit.mid, &hit.play, &hit.videoReview, &hit.favorites, &hit.review}) {
            EXPECT_TRUE(std::regex_match(*number, digits)) << *number;
        }
        EXPECT_EQ(localToUtf8(hit.author), "作者" + hit.mid);
        EXPECT_TRUE(std::regex_match(hit.pubdate, date)) << hit.pubdate;
        EXPECT_TRUE(std::regex_match(hit.duration, std::regex(R"(\d+:\d{2})"))) << hit.duration;
    }
}

TEST_F(SearchRequestTest, FieldsAreReadFromTheirOwnKeysAndOnlyTheExactTagsAreRemoved) {
    const std::string entry = R"({"bvid":"BV1ab411c7xy","mid":123456789012,"author":"某人",
        "title":"<em class=\"keyword\">猫</em>和<em class=\"keyword\">猫</em> <EM>x</EM> <em>y</em>",
        "pic":"//img.example.invalid/a.jpg","play":"12345","video_review":7,"favorites":8,
        "review":9,"pubdate":1600000000,"duration":"12:05"})";
    site().overrideAnswer(devsite::kSearchPath, 200, answerWithVideos(entry), "application/json");
    SearchState state = page(1);
    std::vector<SearchHit> hits;
    ASSERT_EQ(searchRequest("x", state, hits), 1);
    const SearchHit& hit = hits[0];
    EXPECT_EQ(hit.bvid, "BV1ab411c7xy");
    EXPECT_EQ(hit.mid, "123456789012");
    EXPECT_EQ(localToUtf8(hit.author), "某人");
    EXPECT_EQ(localToUtf8(hit.title), "猫和猫 <EM>x</EM> <em>y");
    EXPECT_EQ(hit.pic, "https://img.example.invalid/a.jpg");
    EXPECT_EQ(hit.play, "12345");  // a number the site sends as text reads as the number
    EXPECT_EQ(hit.videoReview, "7");
    EXPECT_EQ(hit.favorites, "8");
    EXPECT_EQ(hit.review, "9");
    EXPECT_EQ(hit.pubdate, timestampToDate("1600000000"));
    EXPECT_EQ(hit.pubdate.substr(0, 11), "2020-09-13 ");  // shown at UTC+8
    EXPECT_EQ(hit.duration, "12:05");
    EXPECT_EQ(state.pageCount, 1);
    EXPECT_EQ(state.resultCount, 3);
}

TEST_F(SearchRequestTest, FewAndNoResultsGiveTheirCountsAndHits) {
    SearchState state = page(1);
    std::vector<SearchHit> hits;
    EXPECT_EQ(searchRequest("few", state, hits), 7);
    EXPECT_EQ(hits.size(), 7u);
    EXPECT_EQ(state.pageCount, 1);
    EXPECT_EQ(state.resultCount, 7);

    EXPECT_EQ(searchRequest("nothing", state, hits), 0);
    EXPECT_TRUE(hits.empty());
    EXPECT_EQ(state.pageCount, 0);
    EXPECT_EQ(state.resultCount, 0);

    // An accepted answer without the video section empties the hits too.
    hits.resize(2);
    site().overrideAnswer(devsite::kSearchPath, 200,
                          R"({"code":0,"data":{"numResults":5,"numPages":2}})", "application/json",
                          1);
    EXPECT_EQ(searchRequest("few", state, hits), 0);
    EXPECT_TRUE(hits.empty());
    EXPECT_EQ(state.pageCount, 2);
    EXPECT_EQ(state.resultCount, 5);
}

TEST_F(SearchRequestTest, UnusableAnswersGiveMinusOneAndKeepStateAndHits) {
    SearchState state = page(1);
    std::vector<SearchHit> hits;
    ASSERT_EQ(searchRequest("few", state, hits), 7);
    const std::vector<std::pair<int, std::string>> answers = {
        {200, "<html><body>服务暂不可用</body></html>"},
        {200, ""},
        {200, R"({"code":-412,"message":"请求被拦截","data":{"numPages":9,"numResults":99}})"},
        {200, R"({"message":"0","data":{"numPages":9}})"},
        {200, R"({"code":0,"data":{"numPages":9)"},
        {502, "Bad Gateway"},
    };
    for (const auto& [status, body] : answers) {
        site().overrideAnswer(devsite::kSearchPath, status, body, "text/html", 1);
        EXPECT_EQ(searchRequest("few", state, hits), -1) << body;
        EXPECT_EQ(hits.size(), 7u) << body;
        EXPECT_EQ(state.pageCount, 1) << body;
        EXPECT_EQ(state.resultCount, 7) << body;
        EXPECT_EQ(state.currentPage, 1) << body;
    }

    // No server at all.
    sharedState().site.api = "http://127.0.0.1:1";
    EXPECT_EQ(searchRequest("few", state, hits), -1);
    EXPECT_EQ(hits.size(), 7u);
}

}  // namespace
}  // namespace quivra

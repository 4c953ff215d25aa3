// The web-interface endpoints of the local site: answer shapes, cookies, QR script, search.
#include <regex>
#include <set>

#include "site_client.h"

namespace devsite_test {
namespace {

using devsite::kMemberCookie;
using devsite::kPlainCookie;

class InterfaceTest : public SiteTest {};

std::vector<int> ids(const Json& list) {
    std::vector<int> out;
    for (const auto& entry : list) out.push_back(entry["id"].get<int>());
    return out;
}

Json playurl(const std::string& bvid, const std::string& cid, const std::string& cookie) {
    return SiteTest::getJson("/x/player/playurl?cid=" + cid + "&bvid=" + bvid + "&fourk=1&fnval=80",
                             {{"Cookie", cookie}});
}

TEST_F(InterfaceTest, ViewAnswersEveryFieldTheClientReads) {
    const Json one = getJson(std::string("/x/web-interface/view?bvid=") + devsite::kOnePartBvid);
    ASSERT_EQ(one["code"], 0);
    const Json& data = one["data"];
    for (const char* key : {"title", "desc", "pic"}) EXPECT_TRUE(data[key].is_string()) << key;
    for (const char* key : {"duration", "cid", "videos", "pubdate"})
        EXPECT_TRUE(data[key].is_number_integer()) << key;
    EXPECT_EQ(std::to_string(data["pubdate"].get<long long>()).size(), 10u);
    for (const char* key : {"mid", "name", "face"}) EXPECT_TRUE(data["owner"].contains(key)) << key;
    for (const char* key : {"view", "danmaku", "favorite", "reply", "coin", "share", "like"})
        EXPECT_TRUE(data["stat"][key].is_number_integer()) << key;
    EXPECT_EQ(data["videos"], 1);
    ASSERT_EQ(data["pages"].size(), 1u);
    EXPECT_EQ(data["pages"][0]["cid"], data["cid"]);
    EXPECT_EQ(data["pages"][0]["page"], 1);

    const Json twelve =
        getJson(std::string("/x/web-interface/view?bvid=") + devsite::kTwelvePartBvid);
    ASSERT_EQ(twelve["data"]["videos"], 12);
    ASSERT_EQ(twelve["data"]["pages"].size(), 12u);
    std::set<long long> cids;
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(twelve["data"]["pages"][i]["page"], i + 1);
        EXPECT_FALSE(twelve["data"]["pages"][i]["part"].get<std::string>().empty());
        cids.insert(twelve["data"]["pages"][i]["cid"].get<long long>());
    }
    EXPECT_EQ(cids.size(), 12u);

    const Json odd = getJson(std::string("/x/web-interface/view?bvid=") + devsite::kOddTitleBvid);
    const std::string title = odd["data"]["title"];
    for (const char* piece : {"/", " ", "\\", "测试", "？", "Ｆｕｌｌ"})
        EXPECT_NE(title.find(piece), std::string::npos) << piece;

    const Json thousand =
        getJson(std::string("/x/web-interface/view?bvid=") + devsite::kThousandPartBvid);
    EXPECT_EQ(thousand["data"]["videos"], 1000);
    EXPECT_EQ(thousand["data"]["pages"].size(), 1000u);
}

TEST_F(InterfaceTest, UnknownVideoIsRefusedWithMinus404) {
    const Json answer = getJson("/x/web-interface/view?bvid=BV1zz999z9zz");
    EXPECT_EQ(answer["code"], -404);
    EXPECT_EQ(answer["message"], "视频不存在");
    EXPECT_EQ(playurl(devsite::kOnePartBvid, "999", "")["code"], -404);  // cid of no part
}

TEST_F(InterfaceTest, PlayurlOffersMemberStreamsOnlyToTheMemberCookie) {
    const Json info =
        getJson(std::string("/x/web-interface/view?bvid=") + devsite::kTwelvePartBvid);
    const std::string cid = info["data"]["pages"][3]["cid"].dump();
    const std::vector<int> everyone = {80, 80, 64, 64, 32, 32, 16, 16};
    const std::vector<int> members = {120, 120, 116, 116, 80, 80, 64, 64, 32, 32, 16, 16};
    EXPECT_EQ(ids(playurl(devsite::kTwelvePartBvid, cid, "")["data"]["dash"]["video"]), everyone);
    EXPECT_EQ(ids(playurl(devsite::kTwelvePartBvid, cid, kPlainCookie)["data"]["dash"]["video"]),
              everyone);
    EXPECT_EQ(ids(playurl(devsite::kTwelvePartBvid, cid,
                          "SESSDATA=member-sessdata-forged")["data"]["dash"]["video"]),
              everyone);
    const Json member = playurl(devsite::kTwelvePartBvid, cid,
                                std::string("visitor=x; ") + kMemberCookie + "; a=b");
    EXPECT_EQ(ids(member["data"]["dash"]["video"]), members);

    // Formats are listed for everyone, member-only ones included.
    const Json formats = playurl(devsite::kTwelvePartBvid, cid, "")["data"]["support_formats"];
    ASSERT_EQ(formats.size(), 6u);
    const std::vector<std::pair<int, std::string>> expected = {
        {120, "4K 超清"},  {116, "1080P60 高帧率"}, {80, "1080P 高清"},
        {64, "720P 高清"}, {32, "480P 清晰"},       {16, "360P 流畅"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(formats[i]["quality"], expected[i].first);
        EXPECT_EQ(formats[i]["new_description"], expected[i].second);
    }
    EXPECT_EQ(ids(member["data"]["dash"]["audio"]), (std::vector<int>{30280, 30232, 30216}));

    // Stream addresses name the part and the stream, on the host the client asked.
    const std::string base =
        site().baseUrl() + "/media/" + devsite::kTwelvePartBvid + "-" + cid + "-";
    EXPECT_EQ(member["data"]["dash"]["video"][0]["baseUrl"], base + "120.m4s");
    EXPECT_EQ(member["data"]["dash"]["video"][1]["baseUrl"], base + "120.m4s");
    EXPECT_EQ(member["data"]["dash"]["audio"][1]["baseUrl"], base + "30232.m4s");
    const Json other =
        getJson("/x/player/playurl?cid=" + cid + "&bvid=" + devsite::kTwelvePartBvid + "&fourk=1",
                {{"Host", "media.test:81"}});
    EXPECT_EQ(other["data"]["dash"]["video"][0]["baseUrl"],
              std::string("http://media.test:81/media/") + devsite::kTwelvePartBvid + "-" + cid +
                  "-80.m4s");
}

TEST_F(InterfaceTest, BrowserPagesForVideosAndAuthorsExist) {
    auto page = client().Get(std::string("/video/") + devsite::kTwelvePartBvid);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("木工入门"), std::string::npos);
    EXPECT_NE(page->body.find("<li>第12集 小板凳</li>"), std::string::npos);
    EXPECT_EQ(client().Get("/video/BV1zz999z9zz")->status, 404);
    const std::string odd = client().Get(std::string("/video/") + devsite::kOddTitleBvid)->body;
    EXPECT_EQ(odd.find("<end>"), std::string::npos);  // part names are escaped
    EXPECT_EQ(client().Get("/10002")->status, 200);
}

TEST_F(InterfaceTest, PlayurlSetsAFreshVisitorCookie) {
    const std::string target = std::string("/x/player/playurl?cid=3001&bvid=") +
                               devsite::kOnePartBvid + "&fourk=1&fnval=80";
    auto first = client().Get(target);
    auto second = client().Get(target);
    ASSERT_TRUE(first && second);
    const std::regex visitor("visitor=devsite-\\d+; path=/");
    EXPECT_TRUE(std::regex_match(first->get_header_value("Set-Cookie"), visitor));
    EXPECT_NE(first->get_header_value("Set-Cookie"), second->get_header_value("Set-Cookie"));
}

TEST_F(InterfaceTest, NavKnowsMemberPlainAndRefusesOthers) {
    const std::string nav = "/x/web-interface/nav?build=0&mobi_app=web";
    const Json member = getJson(nav, {{"Cookie", kMemberCookie}});
    ASSERT_EQ(member["code"], 0);
    for (const char* key :
         {"mid", "uname", "face", "money", "moral", "email_verified", "mobile_verified"})
        EXPECT_TRUE(member["data"].contains(key)) << key;
    for (const char* key : {"current_level", "current_exp", "next_exp"})
        EXPECT_TRUE(member["data"]["level_info"].contains(key)) << key;
    EXPECT_EQ(member["data"]["vipStatus"], 1);
    EXPECT_EQ(std::to_string(member["data"]["vipDueDate"].get<long long>()).size(), 13u);

    const Json plain =
        getJson(nav, {{"Cookie", std::string(kPlainCookie) + "; visitor=devsite-3"}});
    ASSERT_EQ(plain["code"], 0);
    EXPECT_EQ(plain["data"]["vipStatus"], 0);
    EXPECT_EQ(plain["data"]["vipDueDate"], 0);
    EXPECT_NE(plain["data"]["mid"], member["data"]["mid"]);

    for (const std::string cookie : {"", "SESSDATA=someone-else", "XSESSDATA=member-sessdata"}) {
        const Json refused = getJson(nav, {{"Cookie", cookie}});
        EXPECT_EQ(refused["code"], -101) << cookie;
        EXPECT_EQ(refused["message"], "账号未登录") << cookie;
    }
}

Json poll(const std::string& key) {
    auto result = SiteTest::client().Post("/qrcode/getLoginInfo",
                                          "oauthKey=" + key + "&gourl=http%3A%2F%2Fmain%2F",
                                          "application/x-www-form-urlencoded");
    return result ? Json::parse(result->body, nullptr, false) : Json();
}

TEST_F(InterfaceTest, QrLoginWalksTheDefaultScriptToTheLoginCookies) {
    const Json first = getJson("/qrcode/getLoginUrl");
    const Json second = getJson("/qrcode/getLoginUrl");
    ASSERT_EQ(first["code"], 0);
    EXPECT_EQ(first["status"], true);
    const std::string key = second["data"]["oauthKey"];
    EXPECT_TRUE(std::regex_match(key, std::regex("[0-9a-f]{32}")));
    EXPECT_NE(first["data"]["oauthKey"], second["data"]["oauthKey"]);
    EXPECT_EQ(second["data"]["url"], site().baseUrl() + "/qrcode/approval?oauthKey=" + key);
    EXPECT_EQ(site().lastQrKey(), key);

    EXPECT_EQ(poll(key)["data"], -4);
    const Json confirm = poll(key);
    EXPECT_EQ(confirm["status"], false);
    EXPECT_EQ(confirm["data"], -5);

    auto success = client().Post("/qrcode/getLoginInfo", "oauthKey=" + key,
                                 "application/x-www-form-urlencoded");
    ASSERT_TRUE(success);
    const Json answer = Json::parse(success->body);
    EXPECT_EQ(answer["code"], 0);
    EXPECT_EQ(answer["status"], true);
    EXPECT_TRUE(answer["data"]["url"].is_string());
    ASSERT_GE(success->get_header_value_count("Set-Cookie"), 2u);
    const std::string login = success->get_header_value("Set-Cookie", 0);
    EXPECT_EQ(login.rfind(std::string(kMemberCookie) + ";", 0), 0u) << login;
    EXPECT_NE(login.find("HttpOnly"), std::string::npos);
    EXPECT_NE(login.find("Expires="), std::string::npos);
    EXPECT_EQ(poll(key)["status"], true);  // the last step repeats

    // The poll body reached the log as sent.
    const auto polls = site().requestsTo("/qrcode/getLoginInfo");
    ASSERT_FALSE(polls.empty());
    EXPECT_EQ(polls[0].method, "POST");
    EXPECT_EQ(polls[0].body, "oauthKey=" + key + "&gourl=http%3A%2F%2Fmain%2F");
}

TEST_F(InterfaceTest, QrScriptAppliesToKeysHandedOutAfterIt) {
    const std::string before = getJson("/qrcode/getLoginUrl")["data"]["oauthKey"];
    site().setQrScript({{false, -5}, {false, -2}});
    const std::string after = getJson("/qrcode/getLoginUrl")["data"]["oauthKey"];
    EXPECT_EQ(poll(before)["data"], -4);
    EXPECT_EQ(poll(after)["data"], -5);
    EXPECT_EQ(poll(after)["data"], -2);
    EXPECT_EQ(poll(after)["data"], -2);
    site().setQrScript({{false, 86090}});
    EXPECT_EQ(poll(getJson("/qrcode/getLoginUrl")["data"]["oauthKey"])["data"], 86090);
    const Json unknown = poll("00000000000000000000000000000000");
    EXPECT_EQ(unknown["status"], false);
    EXPECT_EQ(unknown["data"], -2);
}

TEST_F(InterfaceTest, SearchPagesAreDeterministicWithVideosInTheNinthSection) {
    const Json page =
        getJson("/x/web-interface/search/all/v2?keyword=wood%20work&page=2&pagesize=20");
    ASSERT_EQ(page["code"], 0);
    EXPECT_EQ(page["data"]["numResults"], 1000);
    EXPECT_EQ(page["data"]["numPages"], 50);
    ASSERT_EQ(page["data"]["result"].size(), 11u);
    std::vector<std::string> sections;
    for (const Json& section : page["data"]["result"]) sections.push_back(section["name"]);
    EXPECT_EQ(sections, (std::vector<std::string>{"section1", "section2", "section3", "section4",
                                                  "section5", "section6", "section7", "section8",
                                                  "video", "section10", "section11"}));
    const Json& hits = page["data"]["result"][8]["data"];
    ASSERT_EQ(hits.size(), 20u);
    const Json& hit = hits[0];
    EXPECT_EQ(hit["type"], "video");
    EXPECT_NE(hit["title"].get<std::string>().find("<em class=\"keyword\">wood work</em>"),
              std::string::npos);
    EXPECT_EQ(hit["pic"].get<std::string>().rfind("//", 0), 0u);
    EXPECT_TRUE(std::regex_match(hit["duration"].get<std::string>(), std::regex("\\d+:\\d\\d")));
    EXPECT_EQ(std::to_string(hit["pubdate"].get<long long>()).size(), 10u);
    for (const char* key : {"bvid", "author", "mid", "play", "video_review", "favorites", "review"})
        EXPECT_TRUE(hit.contains(key)) << key;
    EXPECT_EQ(getJson("/x/web-interface/search/all/v2?keyword=wood%20work&page=2&pagesize=20"),
              page);

    // The first hits are the site's own videos, so they can be parsed.
    const Json first = getJson("/x/web-interface/search/all/v2?keyword=x&page=1&pagesize=20");
    EXPECT_EQ(first["data"]["result"][8]["data"][1]["bvid"], devsite::kTwelvePartBvid);

    const Json last = getJson("/x/web-interface/search/all/v2?keyword=x&page=34&pagesize=30");
    EXPECT_EQ(last["data"]["numPages"], 34);
    EXPECT_EQ(last["data"]["result"][8]["data"].size(), 10u);
    const Json far =
        getJson("/x/web-interface/search/all/v2?keyword=x&page=2147483647&pagesize=50");
    EXPECT_EQ(far["data"]["numPages"], 20);
    EXPECT_TRUE(far["data"]["result"][8]["data"].empty());
    const Json none = getJson("/x/web-interface/search/all/v2?keyword=nothing&page=1&pagesize=20");
    EXPECT_EQ(none["data"]["numResults"], 0);
    EXPECT_EQ(none["data"]["numPages"], 0);
    EXPECT_TRUE(none["data"]["result"][8]["data"].empty());

    // The raw query is logged exactly as it came.
    getJson("/x/web-interface/search/all/v2?keyword=%E6%9C%A8%20a.b-c&page=3&pagesize=20");
    const auto logged = site().requestsTo("/x/web-interface/search/all/v2");
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back().query, "keyword=%E6%9C%A8%20a.b-c&page=3&pagesize=20");
}

TEST_F(InterfaceTest, LogKeepsMethodPathQueryHeadersAndBody) {
    getJson("/x/web-interface/view?bvid=BV1xx411c7mD", {{"Cookie", "a=1"}, {"X-Trace", "one"}});
    client().Post("/nowhere?x=1", "raw body", "text/plain");
    const auto all = site().requests();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].method, "GET");
    EXPECT_EQ(all[0].path, "/x/web-interface/view");
    EXPECT_EQ(all[0].query, "bvid=BV1xx411c7mD");
    EXPECT_EQ(all[0].header("cookie"), "a=1");
    EXPECT_EQ(all[0].header("x-trace"), "one");
    EXPECT_FALSE(all[0].hasHeader("REMOTE_ADDR"));
    EXPECT_FALSE(all[0].hasHeader("Absent"));
    EXPECT_EQ(all[1].path, "/nowhere");
    EXPECT_EQ(all[1].body, "raw body");
    site().clearRequests();
    EXPECT_TRUE(site().requests().empty());
}

TEST_F(InterfaceTest, OverridesAndDelaysHitTheirPathAsOftenAsAsked) {
    const std::string view = std::string("/x/web-interface/view?bvid=") + devsite::kOnePartBvid;
    site().overrideAnswer("/x/web-interface/view", 200, "<html>busy</html>", "text/html", 1);
    auto html = client().Get(view);
    ASSERT_TRUE(html);
    EXPECT_EQ(html->body, "<html>busy</html>");
    EXPECT_EQ(getJson(view)["code"], 0);  // used up
    site().overrideAnswer("/x/web-interface/view", 502, "", "text/plain");
    EXPECT_EQ(client().Get(view)->status, 502);
    EXPECT_EQ(client().Get(view)->status, 502);
    site().clearOverrides();
    EXPECT_EQ(getJson(view)["code"], 0);

    site().setDelayMs("/x/web-interface/nav", 300, 1);
    const auto started = std::chrono::steady_clock::now();
    client().Get("/x/web-interface/nav");
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(290));
    EXPECT_EQ(site().requestsTo("/x/web-interface/nav").size(), 1u);
}

TEST_F(InterfaceTest, ControlEndpointsDriveTheSameState) {
    auto c = client();
    ASSERT_EQ(c.Post("/_devsite/qr-script?steps=-5,ok", "", "text/plain")->status, 200);
    EXPECT_EQ(c.Post("/_devsite/qr-script?steps=-5,soon", "", "text/plain")->status, 400);
    const std::string key = getJson("/qrcode/getLoginUrl")["data"]["oauthKey"];
    EXPECT_EQ(Json::parse(c.Get("/_devsite/qr-key")->body)["key"], key);
    EXPECT_EQ(poll(key)["data"], -5);
    EXPECT_EQ(poll(key)["status"], true);

    ASSERT_EQ(c.Post("/_devsite/override?path=/x/web-interface/nav&status=200&times=1", "{broken",
                     "application/json")
                  ->status,
              200);
    EXPECT_EQ(c.Get("/x/web-interface/nav")->body, "{broken");

    const std::string file = std::string(devsite::kOnePartBvid) + "-3001-64.m4s";
    ASSERT_EQ(
        c.Post("/_devsite/fault?file=" + file + "&kind=500&times=1", "", "text/plain")->status,
        200);
    EXPECT_EQ(c.Post("/_devsite/fault?file=" + file + "&kind=melt", "", "text/plain")->status, 400);
    EXPECT_EQ(c.Get("/media/" + file)->status, 500);
    EXPECT_EQ(c.Get("/media/" + file)->status, 200);
    EXPECT_GT(Json::parse(c.Get("/_devsite/served?file=" + file)->body)["bytes"].get<long long>(),
              0);

    const Json log = Json::parse(c.Get("/_devsite/log")->body);
    ASSERT_TRUE(log.is_array());
    EXPECT_EQ(log[0]["path"], "/qrcode/getLoginUrl");  // control calls are not logged
    EXPECT_TRUE(log[0]["headers"].is_array());
    c.Post("/_devsite/log/clear", "", "text/plain");
    EXPECT_TRUE(site().requests().empty());
}

}  // namespace
}  // namespace devsite_test

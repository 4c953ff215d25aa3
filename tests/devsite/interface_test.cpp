// The web-interface endpoints of the local site: answer shapes, cookies, QR script, search,
// lists, the request signature and refusals.
#include <openssl/evp.h>

#include <algorithm>
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
    EXPECT_EQ(member["data"]["dash"]["video"][1]["baseUrl"], base + "120-12.m4s");
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

// The signature rule written out once more, so the site's check is held to the rule.
std::string signedQuery(std::vector<std::pair<std::string, std::string>> parameters,
                        const std::string& imgKey, const std::string& subKey) {
    static const int order[] = {46, 47, 18, 2,  53, 8,  23, 32, 15, 50, 10, 31, 58, 3,  45, 35,
                                27, 43, 5,  49, 33, 9,  42, 19, 29, 28, 14, 39, 12, 38, 41, 13,
                                37, 48, 7,  16, 24, 55, 40, 61, 26, 17, 0,  1,  60, 51, 30, 4,
                                22, 25, 54, 21, 56, 59, 6,  63, 57, 62, 11, 36, 20, 34, 44, 52};
    std::string mixing;
    for (int i = 0; i < 32; ++i) mixing += (imgKey + subKey)[order[i]];
    parameters.emplace_back("wts", "1767225600");
    std::sort(parameters.begin(), parameters.end());
    const auto encoded = [](const std::string& value) {
        std::string out;
        for (unsigned char c : value) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += std::isalnum(c) || std::string_view("-_.~").find(c) != std::string_view::npos
                       ? std::string(1, static_cast<char>(c))
                       : std::string(escaped);
        }
        return out;
    };
    // The values go out as given; the signature covers them without !'()*.
    std::string sent, query;
    for (auto [key, value] : parameters) {
        sent += (sent.empty() ? "" : "&") + key + "=" + encoded(value);
        std::erase_if(value, [](char c) {
            return std::string_view("!'()*").find(c) != std::string_view::npos;
        });
        query += (query.empty() ? "" : "&") + key + "=" + encoded(value);
    }
    const std::string text = query + mixing;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    std::string rid;
    for (unsigned int i = 0; i < length; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", digest[i]);
        rid += hex;
    }
    return sent + "&w_rid=" + rid;
}

// The keys the nav answer hands out now: the file names of its two addresses.
std::pair<std::string, std::string> currentWbiKeys() {
    const Json nav = SiteTest::getJson("/x/web-interface/nav");
    const auto keyOf = [](const std::string& address) {
        const auto name = address.substr(address.rfind('/') + 1);
        return name.substr(0, name.find('.'));
    };
    return {keyOf(nav["data"]["wbi_img"]["img_url"]), keyOf(nav["data"]["wbi_img"]["sub_url"])};
}

Json signedUploaderPage(const std::string& mid, int page, int size = 30) {
    const auto [img, sub] = currentWbiKeys();
    return SiteTest::getJson("/x/space/wbi/arc/search?" + signedQuery({{"mid", mid},
                                                                       {"pn", std::to_string(page)},
                                                                       {"ps", std::to_string(size)},
                                                                       {"order", "pubdate"}},
                                                                      img, sub));
}

TEST_F(InterfaceTest, SignedRequestsPassAndUnsignedWrongOrOldKeyOnesGetMinus352) {
    // The published example: it passes the check (and fails later, for want of a mid).
    const std::string example =
        "/x/space/wbi/arc/search?foo=114&bar=514&zab=1919810&wts=1702204169&w_rid=";
    EXPECT_EQ(getJson(example + "8f6f2b5b3d485fe1886cec6a0be8c5d4")["code"], -400);
    // Values with blanks, Chinese and the dropped characters sign as the rule says.
    auto [img, sub] = currentWbiKeys();
    const std::string odd =
        signedQuery({{"mid", devsite::kUploaderMid}, {"keyword", "木 (x)!*'"}}, img, sub);
    EXPECT_EQ(getJson("/x/space/wbi/arc/search?" + odd)["code"], 0) << odd;

    for (const std::string& refused :
         {example + "8f6f2b5b3d485fe1886cec6a0be8c5d5", example.substr(0, example.size() - 7),
          std::string("/x/space/wbi/arc/search?mid=20000&pn=1&ps=30"),
          "/x/space/wbi/arc/search?" + odd + "&pn=2"}) {
        const Json answer = getJson(refused);
        EXPECT_EQ(answer["code"], -352) << refused;
        EXPECT_EQ(answer["message"], "风控校验失败") << refused;
    }

    site().rotateWbiKeys();
    EXPECT_EQ(getJson("/x/space/wbi/arc/search?" + odd)["code"], -352);
    EXPECT_EQ(getJson(example + "8f6f2b5b3d485fe1886cec6a0be8c5d4")["code"], -352);
    std::tie(img, sub) = currentWbiKeys();
    EXPECT_TRUE(std::regex_match(img + sub, std::regex("[0-9a-f]{64}")));
    EXPECT_EQ(signedUploaderPage(devsite::kUploaderMid, 1)["code"], 0);
    site().rotateWbiKeys();  // back to the example's keys
    EXPECT_EQ(getJson(example + "8f6f2b5b3d485fe1886cec6a0be8c5d4")["code"], -400);
    // Logged in, the keys come along too.
    EXPECT_TRUE(
        getJson("/x/web-interface/nav", {{"Cookie", kPlainCookie}})["data"].contains("wbi_img"));
}

struct PagedList {
    const char* name;
    std::string target;  // without the page number
    const char* pageKey;
    const char* entries;  // JSON pointer to a page's entries
    const char* total;    // JSON pointer to the count the list gives
    int expectedTotal;
    std::vector<std::size_t> pageSizes;  // up to the first empty page
};

TEST_F(InterfaceTest, ListsPageThroughDistinctVideosTheViewKnows) {
    const std::vector<PagedList> lists = {
        {"favourites",
         "/x/v3/fav/resource/list?media_id=30001&ps=20&platform=web",
         "pn",
         "/data/medias",
         "/data/info/media_count",
         25,
         {20, 5, 0}},
        {"collection",
         "/x/polymer/web-space/seasons_archives_list?mid=20000&season_id=40001&page_size=30",
         "page_num",
         "/data/archives",
         "/data/meta/total",
         35,
         {30, 5, 0}},
        {"series",
         "/x/series/archives?mid=20000&series_id=50001&ps=20&sort=desc",
         "pn",
         "/data/archives",
         "/data/page/total",
         25,
         {20, 5, 0}},
        {"short series",
         "/x/series/archives?mid=20000&series_id=50002&ps=20&sort=desc",
         "pn",
         "/data/archives",
         "/data/page/total",
         100,
         {20, 0}},
        {"watch later",
         "/x/v2/history/toview?x=",
         "y",
         "/data/list",
         "/data/count",
         devsite::kWatchLaterCount,
         {5}},
    };
    for (const PagedList& list : lists) {
        SCOPED_TRACE(list.name);
        std::set<std::string> seen;
        std::size_t listed = 0;
        for (std::size_t page = 0; page < list.pageSizes.size(); ++page) {
            const Json answer =
                getJson(list.target + "&" + list.pageKey + "=" + std::to_string(page + 1),
                        {{"Cookie", kPlainCookie}});
            ASSERT_EQ(answer["code"], 0) << page + 1;
            EXPECT_EQ(answer[Json::json_pointer(list.total)], list.expectedTotal);
            const Json& entries = answer[Json::json_pointer(list.entries)];
            ASSERT_EQ(entries.size(), list.pageSizes[page]) << page + 1;
            for (const Json& entry : entries) {
                ++listed;
                const std::string bvid = entry["bvid"];
                if (entry.value("type", 2) != 2 || entry.value("attr", 0) != 0) continue;
                seen.insert(bvid);
                const Json view = getJson("/x/web-interface/view?bvid=" + bvid);
                ASSERT_EQ(view["code"], 0) << bvid;
                EXPECT_EQ(view["data"]["aid"], entry.contains("aid") ? entry["aid"] : entry["id"]);
                EXPECT_EQ(view["data"]["title"], entry["title"]);
            }
        }
        EXPECT_EQ(seen.size(), listed - (list.name == std::string("favourites") ? 2 : 0));
    }

    // The favourites hold a removed video and an audio besides.
    const Json favourites = getJson("/x/v3/fav/resource/list?media_id=30001&ps=20&pn=1");
    EXPECT_EQ(favourites["data"]["has_more"], true);
    std::multiset<std::pair<int, int>> kinds;  // type, attr
    for (const Json& entry : favourites["data"]["medias"]) {
        kinds.insert({entry["type"].get<int>(), entry["attr"].get<int>()});
        if (entry["attr"] == 9) {
            EXPECT_EQ(entry["title"], "已失效视频");
            EXPECT_EQ(
                getJson("/x/web-interface/view?bvid=" + entry["bvid"].get<std::string>())["code"],
                -404);
        }
    }
    EXPECT_EQ(kinds.count({2, 9}), 1u);
    EXPECT_EQ(kinds.count({12, 0}), 1u);

    // The repeating collection's page 2 is its page 1 again.
    const std::string repeating =
        "/x/polymer/web-space/"
        "seasons_archives_list?mid=20000&season_id=40002&page_size=30&page_num=";
    EXPECT_EQ(getJson(repeating + "2")["data"]["archives"],
              getJson(repeating + "1")["data"]["archives"]);
}

TEST_F(InterfaceTest, UploaderListsTwoThousandVideosNewestFirstOver67Pages) {
    std::set<std::string> bvids;
    long long previous = 0;
    for (int page = 1; page <= 68; ++page) {
        const Json answer = signedUploaderPage(devsite::kUploaderMid, page);
        ASSERT_EQ(answer["code"], 0) << page;
        EXPECT_EQ(answer["data"]["page"]["count"], devsite::kUploaderVideoCount);
        const Json& videos = answer["data"]["list"]["vlist"];
        ASSERT_EQ(videos.size(), page < 67 ? 30u : page == 67 ? 20u : 0u) << page;
        for (const Json& video : videos) {
            bvids.insert(video["bvid"].get<std::string>());
            const long long created = video["created"];
            if (previous) {
                EXPECT_LT(created, previous);
            }
            EXPECT_GT(created, previous ? previous - 2 * 86400 : 0);
            previous = created;
            EXPECT_TRUE(std::regex_match(video["length"].get<std::string>(),
                                         std::regex("\\d\\d+:[0-5]\\d")));
            EXPECT_EQ(video["author"], videos[0]["author"]);
        }
    }
    EXPECT_EQ(bvids.size(), 2000u);
    EXPECT_TRUE(bvids.count(devsite::uploaderBvid(0)) && bvids.count(devsite::uploaderBvid(1999)));

    EXPECT_EQ(signedUploaderPage(devsite::kEmptyUploaderMid, 1)["data"]["page"]["count"], 0);
    const Json huge = signedUploaderPage(devsite::kHugeUploaderMid, 200, 50);
    EXPECT_EQ(huge["data"]["page"]["count"], devsite::kHugeUploaderVideoCount);
    EXPECT_EQ(huge["data"]["list"]["vlist"].back()["bvid"], devsite::uploaderBvid(9999));
}

TEST_F(InterfaceTest, ListEndpointsTellBadIdsFromUnknownOnes) {
    const auto [img, sub] = currentWbiKeys();
    const std::vector<std::pair<std::string, int>> cases = {
        {"/x/space/wbi/arc/search?" + signedQuery({{"mid", "20x00"}}, img, sub), -400},
        {"/x/space/wbi/arc/search?" + signedQuery({{"mid", "29999"}}, img, sub), -404},
        {"/x/v3/fav/resource/list?media_id=ml30001&pn=1", -400},
        {"/x/v3/fav/resource/list?media_id=30001&pn=x", -400},
        {"/x/v3/fav/resource/list?media_id=39999&pn=1", -404},
        {"/x/v3/fav/resource/list?media_id=30002&pn=1", -403},
        {"/x/polymer/web-space/seasons_archives_list?mid=20000&season_id=4000l", -400},
        {"/x/polymer/web-space/seasons_archives_list?mid=20000&season_id=49999", -404},
        {"/x/polymer/web-space/seasons_archives_list?mid=20003&season_id=40001", -404},
        {"/x/series/archives?mid=20000&series_id=-50001", -400},
        {"/x/series/series?series_id=59999", -404},
        {"/x/v2/history/toview", -101},
        {"/pgc/view/web/season?season_id=ss60001", -400},
        {"/pgc/view/web/season?ep_id=60999", -404},
        {"/pgc/player/web/playurl?ep_id=61001&cid=11000002&fourk=1", -404},
    };
    for (const auto& [target, code] : cases) EXPECT_EQ(getJson(target)["code"], code) << target;
    EXPECT_EQ(getJson("/x/series/series?series_id=50001")["data"]["meta"]["name"],
              "周末小物 / 系列");
}

TEST_F(InterfaceTest, SeasonByAnyEpisodeAndMembersOnlyEpisodeStreams) {
    const Json bySeason =
        getJson(std::string("/pgc/view/web/season?season_id=") + devsite::kSeasonId);
    ASSERT_EQ(bySeason["code"], 0);
    EXPECT_EQ(getJson("/pgc/view/web/season?ep_id=" + devsite::seasonEpisodeId(7)), bySeason);
    const Json& episodes = bySeason["result"]["episodes"];
    ASSERT_EQ(episodes.size(), static_cast<std::size_t>(devsite::kSeasonEpisodeCount));
    for (int number = 1; number <= devsite::kSeasonEpisodeCount; ++number) {
        const Json& episode = episodes[number - 1];
        EXPECT_EQ(episode["title"], std::to_string(number));
        EXPECT_EQ(episode["ep_id"].dump(), devsite::seasonEpisodeId(number));
        EXPECT_EQ(episode["badge"], number >= devsite::kFirstMembersEpisode ? "会员" : "");
        EXPECT_GT(episode["duration"].get<long long>(), 60000);  // milliseconds
    }

    const auto streams = [&episodes](int number, const std::string& cookie) {
        const Json& episode = episodes[number - 1];
        return getJson("/pgc/player/web/playurl?ep_id=" + episode["ep_id"].dump() +
                           "&cid=" + episode["cid"].dump() + "&fourk=1&fnval=80",
                       {{"Cookie", cookie}});
    };
    const Json first = streams(1, "");
    ASSERT_EQ(first["code"], 0);
    const Json& dash = first["result"]["dash"];
    EXPECT_EQ(dash["duration"], episodes[0]["duration"].get<long long>() / 1000);
    EXPECT_EQ(ids(dash["video"]), (std::vector<int>{80, 80, 64, 64, 32, 32, 16, 16}));
    const std::string stream = dash["audio"][0]["baseUrl"];
    auto media = client().Get(stream.substr(site().baseUrl().size()));
    ASSERT_TRUE(media);
    EXPECT_EQ(media->status, 200);
    EXPECT_EQ(getJson("/x/web-interface/view?bvid=" +
                      episodes[0]["bvid"].get<std::string>())["data"]["cid"],
              episodes[0]["cid"]);

    for (const std::string cookie : {"", kPlainCookie}) {
        const Json refused = streams(devsite::kFirstMembersEpisode, cookie);
        EXPECT_EQ(refused["code"], -10403) << cookie;
        EXPECT_EQ(refused["message"], "大会员专享限制") << cookie;
    }
    EXPECT_EQ(streams(12, kMemberCookie)["result"]["dash"]["video"][0]["id"], 120);
}

TEST_F(InterfaceTest, EveryNthListRequestIsRefusedUntilSwitchedOff) {
    const std::string favourites = "/x/v3/fav/resource/list?media_id=30001&pn=1&ps=20";
    const std::string season = std::string("/pgc/view/web/season?season_id=") + devsite::kSeasonId;
    site().refuseListRequests(3, -412);
    EXPECT_EQ(getJson(favourites)["code"], 0);
    EXPECT_EQ(getJson("/x/web-interface/nav")["code"], -101);  // not a list: not counted
    EXPECT_EQ(getJson(std::string("/x/web-interface/view?bvid=") + devsite::kOnePartBvid)["code"],
              0);
    EXPECT_EQ(getJson(season)["code"], 0);
    const Json refused = getJson(favourites);
    EXPECT_EQ(refused["code"], -412);
    EXPECT_EQ(refused["message"], "请求过于频繁");
    EXPECT_EQ(getJson(favourites)["code"], 0);

    site().refuseListRequests(1, 412);
    auto html = client().Get(season);
    ASSERT_TRUE(html);
    EXPECT_EQ(html->status, 412);
    EXPECT_NE(html->get_header_value("Content-Type").find("text/html"), std::string::npos);
    site().refuseListRequests(2, -352);
    EXPECT_EQ(getJson("/x/series/series?series_id=50001")["code"], 0);
    EXPECT_EQ(getJson("/x/series/series?series_id=50001")["code"], -352);
    site().refuseListRequests(0, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(getJson(season)["code"], 0);
}

}  // namespace
}  // namespace devsite_test

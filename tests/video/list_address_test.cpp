#include "video/listing/list_address.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/settings_table.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

struct AddressCase {
    const char* path;  // after the host
    ListKind kind;
    const char* ownerMid;
    const char* id;
    bool byEpisode;
};

const std::vector<AddressCase> kListPaths = {
    {"/20000", ListKind::Uploader, "20000", "", false},
    {"/20000/", ListKind::Uploader, "20000", "", false},
    {"/20000/video", ListKind::Uploader, "20000", "", false},
    {"/20000/upload/video?tid=0#top", ListKind::Uploader, "20000", "", false},
    {"/20000/favlist?fid=30001&ftype=create", ListKind::Favourites, "20000", "30001", false},
    {"/medialist/detail/ml30001", ListKind::Favourites, "", "30001", false},
    {"/20000/lists/40001?type=season", ListKind::Collection, "20000", "40001", false},
    {"/20000/channel/collectiondetail?sid=40001", ListKind::Collection, "20000", "40001", false},
    {"/20000/lists/50001?type=series", ListKind::Series, "20000", "50001", false},
    {"/20000/channel/seriesdetail?sid=50001", ListKind::Series, "20000", "50001", false},
    {"/watchlater", ListKind::WatchLater, "", "", false},
    {"/watchlater/#/list", ListKind::WatchLater, "", "", false},
    {"/list/watchlater", ListKind::WatchLater, "", "", false},
    {"/bangumi/play/ep61003", ListKind::Season, "", "61003", true},
    {"/bangumi/play/ss60001?from=search", ListKind::Season, "", "60001", false},
};

void expectList(const std::optional<ListAddress>& found, const AddressCase& c,
                const std::string& text) {
    ASSERT_TRUE(found) << text;
    EXPECT_EQ(found->kind, c.kind) << text;
    EXPECT_EQ(found->ownerMid, c.ownerMid) << text;
    EXPECT_EQ(found->id, c.id) << text;
    EXPECT_EQ(found->byEpisode, c.byEpisode) << text;
    EXPECT_EQ(found->problem, "") << text;
}

TEST(ListAddress, EveryFormOnEverySiteHostWithOrWithoutScheme) {
    const SiteAddresses site = defaultSiteAddresses();
    for (const std::string host : {"space.quivra.com", "www.quivra.com", "api.quivra.com",
                                   "login.quivra.com", "SPACE.Quivra.com"}) {
        for (const std::string scheme : {"https://", "http://", ""}) {
            for (const AddressCase& c : kListPaths) {
                const std::string text = scheme + host + c.path;
                expectList(recognizeListAddress(text, site), c, text);
            }
        }
    }
}

TEST(ListAddress, TheLocalSitesHostAndPortCount) {
    SiteAddresses site = defaultSiteAddresses();
    site.api = "http://127.0.0.1:43123";
    expectList(recognizeListAddress(" http://127.0.0.1:43123/20000/video ", site), kListPaths[2],
               "local");
    EXPECT_FALSE(recognizeListAddress("http://127.0.0.1:43124/20000/video", site));
    EXPECT_FALSE(recognizeListAddress("https://elsewhere.example/20000/video", site));
}

TEST(ListAddress, ShortForms) {
    const SiteAddresses site = defaultSiteAddresses();
    expectList(recognizeListAddress("ml30001", site),
               {"", ListKind::Favourites, "", "30001", false}, "ml");
    expectList(recognizeListAddress("ep61003", site), {"", ListKind::Season, "", "61003", true},
               "ep");
    expectList(recognizeListAddress("ss60001", site), {"", ListKind::Season, "", "60001", false},
               "ss");
}

TEST(ListAddress, TextsNamingOneVideoOrNoListStayOutside) {
    const SiteAddresses site = defaultSiteAddresses();
    for (const std::string text :
         {"BV1xx411c7mD", "av170001", "https://www.quivra.com/video/BV17x411w7KC",
          "https://www.quivra.com/video/av170001?p=2",
          "space.quivra.com/20000/video?bvid=BV1xx411c7mD",
          "https://www.quivra.com/bangumi/play/ep61003?aid=av2", "https://www.quivra.com/",
          "https://www.quivra.com", "space.quivra.com/20000/dynamic",
          "https://www.quivra.com/anime/", "epic", "ml", "ssabc", "hello", "", "   "}) {
        EXPECT_FALSE(recognizeListAddress(text, site)) << text;
    }
}

// A list address whose mid or id is not a number is taken, with the reason it cannot be
// listed.
TEST(ListAddress, IdsThatAreNotNumbersGiveAProblem) {
    const SiteAddresses site = defaultSiteAddresses();
    struct Case {
        const char* text;
        ListKind kind;
        const char* named;  // in the problem
    };
    for (const Case& c :
         {Case{"space.quivra.com/2x000/video", ListKind::Uploader, "2x000"},
          Case{"space.quivra.com/2x000", ListKind::Uploader, "2x000"},
          Case{"space.quivra.com/20000/favlist?fid=3o001", ListKind::Favourites, "3o001"},
          Case{"space.quivra.com/20000/favlist", ListKind::Favourites, ""},
          Case{"space.quivra.com/20000/lists/5000l?type=series", ListKind::Series, "5000l"},
          Case{"space.quivra.com/mid/lists/40001?type=season", ListKind::Collection, "mid"},
          Case{"www.quivra.com/bangumi/play/ss6000I", ListKind::Season, "6000I"},
          Case{"ml3000!", ListKind::Favourites, "3000!"},
          Case{"ep61003x", ListKind::Season, "61003x"}}) {
        const auto found = recognizeListAddress(c.text, site);
        ASSERT_TRUE(found) << c.text;
        EXPECT_EQ(found->kind, c.kind) << c.text;
        EXPECT_NE(found->problem, "") << c.text;
        EXPECT_NE(found->problem.find(c.named), std::string::npos) << localToUtf8(found->problem);
    }
}

}  // namespace
}  // namespace quivra

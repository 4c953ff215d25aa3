#include "video/listing/wbi_signature.h"

#include <gtest/gtest.h>

#include <string>

namespace quivra {
namespace {

constexpr const char* kImgKey = "7cd084941338484aae1ad9425b84077c";
constexpr const char* kSubKey = "4932caff0ff746eab6f01bf08b70ac45";

TEST(WbiSignature, KeyIsTheFileNameWithoutExtension) {
    EXPECT_EQ(wbiKeyOfAddress(std::string("https://i0.example.com/bfs/wbi/") + kImgKey + ".png"),
              kImgKey);
    EXPECT_EQ(wbiKeyOfAddress("http://127.0.0.1:8080/bfs/wbi/abc.def.png?x=1"), "abc.def");
    EXPECT_EQ(wbiKeyOfAddress(""), "");
}

TEST(WbiSignature, MixingKeysTakeTheTableOrder) {
    EXPECT_EQ(wbiMixingKey(kImgKey, kSubKey), "ea1db124af3c7062474693fa704f4ff8");
    EXPECT_EQ(wbiMixingKey("0123456789abcdef0123456789abcdef", "fedcba9876543210fedcba9876543210"),
              "1022a87ffdaf532cb45ee953dce8c96d");
}

// Expected texts computed apart from this code (Python's hashlib and urllib.parse.quote).
struct SignCase {
    const char* name;
    QueryParameters parameters;
    std::int64_t wts;
    const char* mixingKey;
    const char* signedQuery;
};

class WbiSigning : public ::testing::TestWithParam<SignCase> {};

TEST_P(WbiSigning, SignsAsTheSiteChecks) {
    const SignCase& c = GetParam();
    EXPECT_EQ(signWbiQuery(c.parameters, c.wts, c.mixingKey), c.signedQuery);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WbiSigning,
    ::testing::Values(
        SignCase{
            "WorkedExample",
            {{"foo", "114"}, {"bar", "514"}, {"zab", "1919810"}},
            1702204169,
            "ea1db124af3c7062474693fa704f4ff8",
            "bar=514&foo=114&wts=1702204169&zab=1919810&w_rid=8f6f2b5b3d485fe1886cec6a0be8c5d4"},
        SignCase{"BlanksAndDroppedCharacters",
                 {{"keyword", "hello world (live)!"}, {"mid", "20000"}},
                 1700000000,
                 "ea1db124af3c7062474693fa704f4ff8",
                 "keyword=hello%20world%20live&mid=20000&wts=1700000000"
                 "&w_rid=56c1d1db49f3c0e2116919201afa1aad"},
        SignCase{"ChineseUpperCaseHex",
                 {{"title", "晨光*小站's"}, {"pn", "2"}},
                 1700000123,
                 "ea1db124af3c7062474693fa704f4ff8",
                 "pn=2&title=%E6%99%A8%E5%85%89%E5%B0%8F%E7%AB%99s&wts=1700000123"
                 "&w_rid=ab3db3e7d517dc4be252f261b70c3f9a"},
        SignCase{"UploaderPageOtherKeys",
                 {{"mid", "20000"}, {"pn", "1"}, {"ps", "30"}, {"order", "pubdate"}},
                 1765000000,
                 "1022a87ffdaf532cb45ee953dce8c96d",
                 "mid=20000&order=pubdate&pn=1&ps=30&wts=1765000000"
                 "&w_rid=00e3da3b93534a84b7a2e0bcd2b789ca"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace quivra

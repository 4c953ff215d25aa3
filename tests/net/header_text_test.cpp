// Header text building, name re-casing, Set-Cookie collection, marker slicing and the
// timeout rule, without a network.
#include <gtest/gtest.h>

#include "net/header_text.h"
#include "net/http_timeout.h"
#include "net/text_encoding.h"
#include "net/text_slices.h"

namespace quivra {
namespace {

TEST(NormalizeHeaderNames, RecasesEveryDashPartAndKeepsTheRestOfTheLine) {
    EXPECT_EQ(normalizeHeaderNames("user-agent: Some Agent"), "User-Agent: Some Agent");
    EXPECT_EQ(normalizeHeaderNames("x-requested-with: y"), "X-Requested-With: y");
    EXPECT_EQ(normalizeHeaderNames("accept: text/html"), "Accept: text/html");
    // Only the first character of each part changes, and only a to z.
    EXPECT_EQ(normalizeHeaderNames("x-ABC-1st: v"), "X-ABC-1st: v");
    EXPECT_EQ(normalizeHeaderNames("a--b: v"), "A--B: v");
    EXPECT_EQ(normalizeHeaderNames("-lead: v"), "-Lead: v");
    // The value after the first colon is never touched.
    EXPECT_EQ(normalizeHeaderNames("referer: http://a-b.example/x-y"),
              "Referer: http://a-b.example/x-y");
}

TEST(NormalizeHeaderNames, NameEndingInDashKeepsItsDash) {
    EXPECT_EQ(normalizeHeaderNames("x-: v"), "X-: v");
    EXPECT_EQ(normalizeHeaderNames("ab--: v"), "Ab--: v");
    EXPECT_EQ(normalizeHeaderNames("-: v"), "-: v");
}

TEST(NormalizeHeaderNames, DropsLinesWithoutColonAndJoinsWithoutTrailingBreak) {
    EXPECT_EQ(normalizeHeaderNames("\r\naccept: a\r\nno colon here\r\n\r\nreferer: r\r\n"),
              "Accept: a\r\nReferer: r");
    EXPECT_EQ(normalizeHeaderNames(""), "");
    // A line with an empty name survives (the request refuses it later).
    EXPECT_EQ(normalizeHeaderNames(": v"), ": v");
    const std::string gbkName = localText("名字") + "-x: 1";
    EXPECT_EQ(normalizeHeaderNames(gbkName), localText("名字") + "-X: 1");
}

TEST(WithDefaultHeaders, AddsMissingDefaultsInOrder) {
    EXPECT_EQ(withDefaultHeaders("", "http://h/p", false),
              "\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"
              "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    EXPECT_EQ(withDefaultHeaders("", "u", true),
              "\r\nAccept: */*\r\nReferer: u\r\nAccept-Language: zh-cn"
              "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"
              "\r\nContent-Type: application/x-www-form-urlencoded");
}

TEST(WithDefaultHeaders, PresentNamesMatchAnywhereIgnoringCase) {
    EXPECT_EQ(withDefaultHeaders("user-agent: me", "u", false),
              "user-agent: me\r\nAccept: */*\r\nReferer: u\r\nAccept-Language: zh-cn");
    EXPECT_EQ(withDefaultHeaders("ACCEPT: x\r\nREFERER: y\r\naccept-language: en\r\nUser-Agent: z"
                                 "\r\ncontent-type: t",
                                 "u", true),
              "ACCEPT: x\r\nREFERER: y\r\naccept-language: en\r\nUser-Agent: z\r\ncontent-type: t");
    // "Accept:" also hides inside "X-Accept:"; "Accept" without a colon does not count.
    EXPECT_EQ(withDefaultHeaders("X-Accept: 1", "u", false).find("\r\nAccept: */*"),
              std::string::npos);
    EXPECT_NE(withDefaultHeaders("Accept 1", "u", false).find("\r\nAccept: */*"),
              std::string::npos);
}

TEST(HeaderFields, SplitsTrimsAndSkipsOnlyExactKeepAlive) {
    auto fields = headerFields(
        "\r\n A : 1 \r\nConnection: keep-alive\r\nConnection: Keep-Alive\r\nno colon\r\nB:");
    ASSERT_EQ(fields.size(), 4u);
    EXPECT_EQ(fields[0].name, "A");
    EXPECT_EQ(fields[0].value, "1");
    EXPECT_EQ(fields[1].value, "Keep-Alive");
    EXPECT_EQ(fields[2].name, "");  // refused later, like a header without a name
    EXPECT_EQ(fields[3].name, "B");
    EXPECT_EQ(fields[3].value, "");
    HeaderField colonInValue = splitHeaderLine("Referer: http://h:80/");
    EXPECT_EQ(colonInValue.value, "http://h:80/");
}

TEST(CollectSetCookies, TakesFirstPairOfExactlyNamedLines) {
    EXPECT_EQ(collectSetCookies("Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n\r\n"), "a=1; b=2");
    EXPECT_EQ(collectSetCookies("set-cookie: a=1\r\nSET-COOKIE: b=2\r\nX-Set-Cookie: c=3\r\n"), "");
    EXPECT_EQ(collectSetCookies("Set-Cookie:  sp = 1 ;x\r\nSet-Cookie: e=\r\n"), "sp = 1; e=");
    // The name needs ": " right after it.
    EXPECT_EQ(collectSetCookies("Set-Cookie:a=1\r\n"), "");
    EXPECT_EQ(collectSetCookies(""), "");
}

// A server line with a stray CR (split only at CR LF) must not put a line break into the
// cookie list, which is sent back as one Cookie header.
TEST(CollectSetCookies, CutsAPairAtAStrayLineBreak) {
    EXPECT_EQ(collectSetCookies("Set-Cookie: a=1\r*; path=/\r\nSet-Cookie: b=2\rc=3\r\n\r\n"),
              "a=1; b=2");
}

TEST(TextSlices, BeforeAndBetween) {
    EXPECT_EQ(textBefore("Name: value: x", ": "), "Name");
    EXPECT_EQ(textBefore("no separator", ": "), "");
    EXPECT_EQ(textBetween("a [x] b [y]", "[", "]"), "x");
    EXPECT_EQ(textBetween("a [x b", "[", "]"), "");
    EXPECT_EQ(textBetween("a x] b", "[", "]"), "");
    EXPECT_EQ(textBetween("key=\"v\" rest", localText("=#引号"), localText("#引号")), "v");
    EXPECT_EQ(removeNoCase("Cookie: a=1; COOKIE:b=2", "cookie:"), " a=1; b=2");
    EXPECT_EQ(findNoCase("xxACCEPT:", "accept:"), 2u);
}

TEST(RequestTimeout, FifteenSecondsByDefaultAndForValuesBelowOne) {
    EXPECT_EQ(requestTimeoutMs(std::nullopt), 15000);
    EXPECT_EQ(requestTimeoutMs(0), 15000);
    EXPECT_EQ(requestTimeoutMs(-5), 15000);
    EXPECT_EQ(requestTimeoutMs(1), 1000);
    EXPECT_EQ(requestTimeoutMs(30), 30000);
    EXPECT_EQ(requestTimeoutMs(-1), std::nullopt);
}

}  // namespace
}  // namespace quivra

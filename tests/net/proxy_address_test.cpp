// Proxy addresses as the settings and --proxy take them, and a request whose proxy is down.
#include "net/proxy_address.h"

#include <gtest/gtest.h>

#include "net/answer_reason.h"
#include "net/http_request.h"
#include "net/test_http_server.h"
#include "net/text_encoding.h"
#include "support/http_proxy.h"

namespace quivra {
namespace {

TEST(ProxyAddressTest, TakesHttpProxiesAndSaysWhyOthersAreRefused) {
    struct Case {
        const char* text;
        const char* host;
        int port;
        const char* user;
        const char* password;
        const char* failure;  // UTF-8; "" when usable
    };
    const Case cases[] = {
        {"http://127.0.0.1:3128", "127.0.0.1", 3128, "", "", ""},
        {"HTTP://proxy.lan:8080/", "proxy.lan", 8080, "", "", ""},
        {"proxy.lan:8080", "proxy.lan", 8080, "", "", ""},
        {"http://[::1]:3128", "[::1]", 3128, "", "", ""},
        // The password may hold ':' and '@' ("%40"); the last '@' ends the credentials.
        {"http://me:p%40ss:w@h:1", "h", 1, "me", "p@ss:w", ""},
        {"socks5://127.0.0.1:1080", "", 0, "", "",
         "下载引擎不能使用SOCKS代理，请填写HTTP代理（http://主机:端口）"},
        {"socks5h://u:p@h:1080", "", 0, "", "",
         "下载引擎不能使用SOCKS代理，请填写HTTP代理（http://主机:端口）"},
        {"https://h:443", "", 0, "", "", "只能使用HTTP代理（http://主机:端口）"},
        {"http://h", "", 0, "", "", "代理地址须带端口（http://主机:端口）"},
        {"http://[::1]", "", 0, "", "", "代理地址须带端口（http://主机:端口）"},
        {"http://h:0", "", 0, "", "", "代理地址应为 http://主机:端口"},
        {"http://h:65536", "", 0, "", "", "代理地址应为 http://主机:端口"},
        {"http://h:80x", "", 0, "", "", "代理地址应为 http://主机:端口"},
        {"http://h/x:80", "", 0, "", "", "代理地址应为 http://主机:端口"},
        {"http://:80", "", 0, "", "", "代理地址应为 http://主机:端口"},
    };
    for (const Case& c : cases) {
        const ParsedProxy parsed = parseProxyAddress(c.text);
        EXPECT_EQ(localToUtf8(parsed.failure), c.failure) << c.text;
        if (*c.failure) continue;
        EXPECT_EQ(parsed.server.host, c.host) << c.text;
        EXPECT_EQ(parsed.server.port, c.port) << c.text;
        EXPECT_EQ(parsed.server.user, c.user) << c.text;
        EXPECT_EQ(parsed.server.password, c.password) << c.text;
        // What is shown of a proxy never holds its credentials.
        EXPECT_EQ(proxyUrl(parsed.server),
                  "http://" + std::string(c.host) + ":" + std::to_string(c.port));
    }
}

TEST(ProxyAddressTest, RequestWhoseProxyIsDownSaysSoAndSkipsNoProxyHosts) {
    test::HttpProxy proxy;
    const std::string address = proxy.url();
    proxy.stop();  // its port now refuses connections

    HttpRequestOptions options;
    options.proxy = address;
    HttpOutcome outcome = HttpOutcome::Whole;
    options.outcome = &outcome;
    EXPECT_EQ(httpRequest("http://127.0.0.1:9/x", options), "");
    EXPECT_EQ(outcome, HttpOutcome::ProxyUnreachable);
    EXPECT_EQ(localToUtf8(unreadableAnswerReason(outcome, "")), "无法连接代理服务器");

    // A host of the bypass list is asked directly, past the dead proxy.
    test::TestHttpServer server;
    options.noProxy = "127.0.0.1";
    const test::EchoedRequest echo = test::parseEcho(httpRequest(server.url("/echo"), options));
    EXPECT_EQ(outcome, HttpOutcome::Whole);
    EXPECT_EQ(echo.requestLine, "GET /echo HTTP/1.1");
}

}  // namespace
}  // namespace quivra

// httpRequest against real servers on loopback.
#include "net/http_request.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "net/http_session.h"
#include "net/test_http_server.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

using test::EchoedRequest;
using test::parseEcho;

const std::string kMsieAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// A loopback port that nothing listens on.
int closedPort() {
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

// The names in the order they were received, without the transport's own.
std::vector<std::string> ownHeaderNames(const EchoedRequest& echo) {
    std::vector<std::string> names;
    for (const auto& name : echo.headerNames()) {
        if (name != "Host" && name != "Content-Length") names.push_back(name);
    }
    return names;
}

class HttpRequestTest : public ::testing::Test {
  protected:
    EchoedRequest send(const std::string& path, HttpRequestOptions options = {}) {
        int status = -1;
        options.statusCode = &status;
        std::string body = httpRequest(server.url(path), options);
        EXPECT_EQ(status, 200) << path;
        EchoedRequest echo = parseEcho(body);
        EXPECT_TRUE(echo.valid) << body;
        return echo;
    }

    test::TestHttpServer server;
};

TEST_F(HttpRequestTest, DefaultHeadersGoOutInOrder) {
    EchoedRequest get = send("/echo");
    EXPECT_EQ(get.requestLine, "GET /echo HTTP/1.1");
    EXPECT_EQ(ownHeaderNames(get),
              (std::vector<std::string>{"Accept", "Referer", "Accept-Language", "User-Agent"}));
    EXPECT_EQ(get.header("Accept"), "*/*");
    EXPECT_EQ(get.header("Referer"), server.url("/echo"));
    EXPECT_EQ(get.header("Accept-Language"), "zh-cn");
    EXPECT_EQ(get.header("User-Agent"), kMsieAgent);

    HttpRequestOptions post;
    post.method = 1;
    post.postText = "k=v";
    EchoedRequest posted = send("/echo", post);
    EXPECT_EQ(posted.method, "POST");
    EXPECT_EQ(ownHeaderNames(posted),
              (std::vector<std::string>{"Accept", "Referer", "Accept-Language", "User-Agent",
                                        "Content-Type"}));
    EXPECT_EQ(posted.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(posted.body, "k=v");
}

TEST_F(HttpRequestTest, CallerHeadersSuppressOnlyTheirOwnDefaults) {
    HttpRequestOptions browser;
    browser.headers = kBrowserUserAgentLine;
    EchoedRequest echo = send("/echo", browser);
    EXPECT_EQ(ownHeaderNames(echo),
              (std::vector<std::string>{"User-Agent", "Accept", "Referer", "Accept-Language"}));
    EXPECT_EQ("User-Agent: " + echo.header("User-Agent").value_or(""), kBrowserUserAgentLine);

    HttpRequestOptions lower;
    lower.headers = "accept: text/html\r\ncontent-type: x\r\nx-requested-with: y\r\nx-: dash";
    echo = send("/echo", lower);
    EXPECT_EQ(echo.header("Accept"), "text/html");
    EXPECT_EQ(echo.header("Content-Type"), "x");
    EXPECT_EQ(echo.header("X-Requested-With"), "y");
    EXPECT_EQ(echo.header("X-"), "dash");
    EXPECT_EQ(std::count(echo.headers.begin(), echo.headers.end(),
                         std::pair<std::string, std::string>{"Accept", "*/*"}),
              0);
}

TEST_F(HttpRequestTest, SwitchesTurnDefaultsAndRecasingOff) {
    HttpRequestOptions raw;
    raw.headers = "x-requested-with: y\r\naccept-language: en";
    raw.addDefaultHeaders = false;
    raw.normalizeHeaders = false;
    EchoedRequest echo = send("/echo", raw);
    EXPECT_EQ(ownHeaderNames(echo),
              (std::vector<std::string>{"x-requested-with", "accept-language"}));

    HttpRequestOptions bare;
    bare.addDefaultHeaders = false;
    bare.method = 1;
    bare.postText = "x";
    echo = send("/echo", bare);
    EXPECT_TRUE(ownHeaderNames(echo).empty()) << echo.requestLine;
}

TEST_F(HttpRequestTest, KeepAliveLineIsNeverPassedOn) {
    HttpRequestOptions options;
    options.headers = "connection: keep-alive";
    EXPECT_FALSE(send("/echo", options).header("Connection"));
    options.headers = "Connection: keep-alive";
    options.addDefaultHeaders = false;  // a single line, no CR LF
    EXPECT_FALSE(send("/echo", options).header("Connection"));
    options.headers = "Connection: Keep-Alive";
    EXPECT_EQ(send("/echo", options).header("Connection"), "Keep-Alive");
}

TEST_F(HttpRequestTest, MethodTableWithGetForUnknownNumbers) {
    const std::vector<std::pair<int, std::string>> table = {
        {0, "GET"},   {1, "POST"},    {3, "PUT"}, {4, "OPTIONS"}, {5, "DELETE"},
        {6, "TRACE"}, {7, "CONNECT"}, {8, "GET"}, {9, "GET"},     {-1, "GET"}};
    for (const auto& [method, verb] : table) {
        HttpRequestOptions options;
        options.method = method;
        EXPECT_EQ(send("/echo", options).method, verb) << method;
    }
    HttpRequestOptions head;
    head.method = 2;
    std::string headers;
    int status = 0;
    head.responseHeaders = &headers;
    head.statusCode = &status;
    EXPECT_EQ(httpRequest(server.url("/echo"), head), "");
    EXPECT_EQ(status, 200);
    EXPECT_NE(headers.find("X-Method: HEAD\r\n"), std::string::npos) << headers;
}

TEST_F(HttpRequestTest, BodiesAreUtf8TextOrRawBytes) {
    HttpRequestOptions text;
    text.method = 1;
    text.postText = localText("名=中文");
    EXPECT_EQ(send("/echo", text).body, "名=中文");

    HttpRequestOptions empty;
    empty.method = 1;
    EchoedRequest echo = send("/echo", empty);
    EXPECT_EQ(echo.method, "POST");
    EXPECT_EQ(echo.header("Content-Length"), "0");

    HttpRequestOptions bytes;
    bytes.method = 3;
    bytes.postText = "ignored";
    bytes.postBytes = std::string("\x00\xff\x01", 3);
    echo = send("/echo", bytes);
    EXPECT_EQ(echo.method, "PUT");
    EXPECT_EQ(echo.bodyHex, "00ff01");
}

TEST_F(HttpRequestTest, LocalTextUrlAndHeadersReachTheServerAsUtf8) {
    HttpRequestOptions options;
    options.headers = "X-Name: " + localText("中文");
    EchoedRequest echo = send("/echo?q=" + localText("中 文"), options);
    EXPECT_EQ(echo.target, "/echo?q=%E4%B8%AD%20%E6%96%87");
    EXPECT_EQ(echo.header("X-Name"), "中文");
}

TEST_F(HttpRequestTest, HeaderTextCannotSmuggleInExtraLines) {
    HttpRequestOptions options;
    options.headers = "X-Bad: a\nInjected: 1\r\nX-Good: b";
    std::string cookies = "a=1\r\nX-Evil: 1";
    options.cookies = &cookies;
    EchoedRequest echo = send("/echo", options);
    EXPECT_FALSE(echo.header("Injected"));
    EXPECT_FALSE(echo.header("X-Bad"));
    EXPECT_FALSE(echo.header("X-Evil"));
    EXPECT_FALSE(echo.header("Cookie"));
    EXPECT_EQ(echo.header("X-Good"), "b");
}

TEST_F(HttpRequestTest, CookieHeaderIsCleanedAndSentEvenWhenEmpty) {
    std::string cookies = "Cookie: a=1; COOKIE:b=2";
    HttpRequestOptions options;
    options.cookies = &cookies;
    options.mergeCookies = false;
    EchoedRequest echo = send("/echo", options);
    EXPECT_EQ(echo.header("Cookie"), "a=1; b=2");
    EXPECT_EQ(echo.headerNames().at(1), "Cookie");  // set before the other headers
    EXPECT_EQ(cookies, " a=1; b=2");                // cleaned, not yet trimmed

    std::string empty;
    options.cookies = &empty;
    echo = send("/echo", options);
    EXPECT_EQ(echo.header("Cookie"), "");

    EXPECT_FALSE(send("/echo").header("Cookie"));
}

TEST_F(HttpRequestTest, SetCookieLinesAreCollected) {
    std::string returned = "stale";
    HttpRequestOptions options;
    options.returnedCookies = &returned;
    EXPECT_EQ(httpRequest(server.url("/cookies"), options), "cookies");
    EXPECT_EQ(returned, "a=1; b=2");  // not the lower-case line, not the X-Note line

    std::string none = "stale";
    options.returnedCookies = &none;
    send("/echo", options);
    EXPECT_EQ(none, "");
}

TEST_F(HttpRequestTest, SentCookiesMergeWithReturnedOnes) {
    std::string cookies = "Cookie: b=old; z=0";
    std::string returned;
    HttpRequestOptions options;
    options.cookies = &cookies;
    options.returnedCookies = &returned;
    httpRequest(server.url("/cookies"), options);
    EXPECT_EQ(cookies, "a=1; b=2; z=0");
    EXPECT_EQ(returned, cookies);

    cookies = "a=1; b=2";
    httpRequest(server.url("/delete-cookie"), options);
    EXPECT_EQ(cookies, "c=3; a=1");
    EXPECT_EQ(returned, "c=3; a=1");

    cookies = "a=1";
    options.mergeCookies = false;
    httpRequest(server.url("/delete-cookie"), options);
    EXPECT_EQ(cookies, "a=1");
    EXPECT_EQ(returned, "b=deleted; c=3");
}

TEST_F(HttpRequestTest, ResponseHeadersAreTheFinalBlockWithoutStatusLine) {
    std::string headers;
    int status = 0;
    HttpRequestOptions options;
    options.responseHeaders = &headers;
    options.statusCode = &status;
    std::string body = httpRequest(server.url("/redirect?to=/echo"), options);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(parseEcho(body).target, "/echo");
    EXPECT_EQ(headers.find("HTTP/"), std::string::npos);
    EXPECT_EQ(headers.find("X-Hop"), std::string::npos) << headers;
    EXPECT_EQ(headers.rfind("Content-Type: application/json\r\nX-Echo: 1\r\n", 0), 0u) << headers;
    EXPECT_TRUE(headers.ends_with("\r\n\r\n"));

    options.noRedirect = true;
    EXPECT_EQ(httpRequest(server.url("/redirect?to=/echo"), options), "moved");
    EXPECT_EQ(status, 302);
    EXPECT_NE(headers.find("Location: /echo\r\n"), std::string::npos);
    EXPECT_NE(headers.find("X-Hop: redirect\r\n"), std::string::npos);
}

TEST_F(HttpRequestTest, ErrorStatusesReturnTheirBody) {
    int status = 0;
    HttpRequestOptions options;
    options.statusCode = &status;
    EXPECT_EQ(httpRequest(server.url("/status?code=404"), options), "status 404");
    EXPECT_EQ(status, 404);
    EXPECT_EQ(httpRequest(server.url("/status?code=500"), options), "status 500");
    EXPECT_EQ(status, 500);
}

// Every way of getting no answer ends the same way: empty body, empty header block,
// status 0, and with merging the cleaned sent cookies.
TEST_F(HttpRequestTest, NoAnswerGivesEmptyResultsAndStatusZero) {
    const std::vector<std::string> urls = {
        "http://127.0.0.1:" + std::to_string(closedPort()) + "/echo",
        server.url("/reset"),
        server.url("/headers-only"),
        server.url("/redirect-loop"),
        "not a url at all",
        "ftp://127.0.0.1/file",
    };
    for (const auto& url : urls) {
        std::string cookies = "Cookie: a=1 ";
        std::string returned = "stale";
        std::string headers = "stale";
        int status = -1;
        HttpRequestOptions options;
        options.cookies = &cookies;
        options.returnedCookies = &returned;
        options.responseHeaders = &headers;
        options.statusCode = &status;
        options.timeoutSeconds = 2;
        EXPECT_EQ(httpRequest(url, options), "") << url;
        EXPECT_EQ(status, 0) << url;
        EXPECT_EQ(headers, "") << url;
        EXPECT_EQ(returned, "a=1") << url;
        EXPECT_EQ(cookies, "a=1") << url;
    }
}

TEST_F(HttpRequestTest, TimeoutAppliesToEachPhase) {
    int status = -1;
    HttpRequestOptions shortWait;
    shortWait.timeoutSeconds = 1;
    shortWait.statusCode = &status;
    EXPECT_EQ(httpRequest(server.url("/slow?ms=4000"), shortWait), "");
    EXPECT_EQ(status, 0);

    // 0, negative and -1 all wait longer than the answer takes; the calls run side by
    // side on their own threads.
    const std::vector<int> timeouts = {0, -5, -1, 3};
    std::vector<std::string> bodies(timeouts.size());
    std::vector<std::thread> callers;
    for (size_t i = 0; i < timeouts.size(); ++i) {
        callers.emplace_back([&, i] {
            HttpRequestOptions options;
            options.timeoutSeconds = timeouts[i];
            bodies[i] = httpRequest(server.url("/slow?ms=1500"), options);
        });
    }
    for (auto& caller : callers) caller.join();
    for (size_t i = 0; i < timeouts.size(); ++i) {
        EXPECT_EQ(parseEcho(bodies[i]).target, "/slow?ms=1500") << timeouts[i];
    }
}

// A server that keeps a request alive with a byte now and then does not hold the caller.
TEST_F(HttpRequestTest, TricklingServerIsCutOff) {
    int status = -1;
    HttpRequestOptions options;
    options.timeoutSeconds = 1;
    options.statusCode = &status;
    EXPECT_EQ(httpRequest(server.url("/trickle"), options), "");
    EXPECT_EQ(status, 0);
}

TEST_F(HttpRequestTest, ProxyGetsTheAbsoluteUrlAndBasicCredentials) {
    const std::string proxy = "127.0.0.1:" + std::to_string(server.port());
    HttpRequestOptions options;
    options.proxy = proxy;
    options.proxyUser = "user";
    options.proxyPassword = "pass";
    EchoedRequest echo = parseEcho(httpRequest("http://quivra.invalid/echo?x=1", options));
    EXPECT_EQ(echo.requestLine, "GET http://quivra.invalid/echo?x=1 HTTP/1.1");
    EXPECT_EQ(echo.header("Proxy-Authorization"), "Basic dXNlcjpwYXNz");

    // The credentials are the local-text bytes of the user name.
    options.proxyUser = localText("用户");
    options.proxyPassword = "pw";
    echo = parseEcho(httpRequest("http://quivra.invalid/echo", options));
    EXPECT_EQ(echo.header("Proxy-Authorization"), "Basic 08O7pzpwdw==");

    options.credentialsTarget = 0;
    echo = parseEcho(httpRequest("http://quivra.invalid/echo", options));
    EXPECT_TRUE(echo.valid);
    EXPECT_FALSE(echo.header("Proxy-Authorization"));
    EXPECT_FALSE(echo.header("Authorization"));

    HttpRequestOptions direct;
    direct.proxyUser = "user";
    direct.proxyPassword = "pass";
    echo = send("/echo", direct);
    EXPECT_EQ(echo.requestLine, "GET /echo HTTP/1.1");
    EXPECT_FALSE(echo.header("Proxy-Authorization"));
}

TEST_F(HttpRequestTest, SessionKeepsItsConnectionButNoSettings) {
    HttpSession session;
    HttpRequestOptions options;
    options.requestObject = &session;
    options.noRedirect = true;
    int status = 0;
    options.statusCode = &status;
    const int before = server.connectionCount();
    EXPECT_EQ(httpRequest(server.url("/redirect?to=/echo"), options), "moved");
    EXPECT_EQ(status, 302);

    HttpRequestOptions follow;
    follow.requestObject = &session;
    EXPECT_EQ(parseEcho(httpRequest(server.url("/redirect?to=/echo"), follow)).target, "/echo");
    EXPECT_EQ(server.connectionCount() - before, 1);

    httpRequest(server.url("/echo"));
    httpRequest(server.url("/echo"));
    EXPECT_EQ(server.connectionCount() - before, 3);
}

TEST(HttpsRequest, UntrustedCertificateFailsLikeNoAnswer) {
    test::TestHttpsServer server;
    ASSERT_TRUE(server.running());
    // The server itself works for a client that does not check certificates.
    httplib::SSLClient trusting("127.0.0.1", server.port());
    trusting.enable_server_certificate_verification(false);
    auto answer = trusting.Get("/");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->body, "secret");

    std::string cookies = "SID=credential";
    std::string headers = "stale";
    int status = -1;
    HttpRequestOptions options;
    options.cookies = &cookies;
    options.responseHeaders = &headers;
    options.statusCode = &status;
    EXPECT_EQ(httpRequest(server.url("/"), options), "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(headers, "");
}

}  // namespace
}  // namespace quivra

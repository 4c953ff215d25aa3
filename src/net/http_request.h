// The one synchronous HTTP routine of the program, on libcurl.
// Texts are local text (GBK); the body comes back as raw bytes.
#pragma once

#include <optional>
#include <string>

namespace quivra {

// "User-Agent: ..." line that every site request sends as its extra header.
extern const char* const kBrowserUserAgentLine;

class HttpSession;  // a reusable connection cache; see http_session.h

// How the body of a request came back. Only a whole body is returned; otherwise the
// result is empty.
enum class HttpOutcome {
    Whole,
    NoAnswer,          // no response began: no connection, refused, timed out before an answer
    Cut,               // the response began but ended early (connection lost, stalled, short body)
    TooLarge,          // larger than an answer of the site's interface can be
    ProxyUnreachable,  // the named proxy could not be reached: no request left this machine
};

// The optional parameters 2..19 of httpRequest, in their order, then outcome. A parameter
// that is left as nullopt / nullptr counts as "not given". Pointers are the caller's variables
// (in/out or out) and are written as the routine's rules say.
struct HttpRequestOptions {
    std::optional<int> method;  // 0 GET .. 7 CONNECT; other: GET
    std::optional<std::string> postText;
    std::string* cookies = nullptr;          // in/out
    std::string* returnedCookies = nullptr;  // out
    std::optional<std::string> headers;      // extra header lines, CR LF separated
    std::string* responseHeaders = nullptr;  // out
    int* statusCode = nullptr;               // out
    std::optional<bool> noRedirect;
    std::optional<std::string> postBytes;
    std::optional<std::string> proxy;   // host:port
    std::optional<int> timeoutSeconds;  // <1: 15 s a phase; -1: libcurl's own
    std::optional<std::string> proxyUser;
    std::optional<std::string> proxyPassword;
    std::optional<int> credentialsTarget;  // 1 proxy (default), 0 server
    HttpSession* requestObject = nullptr;
    std::optional<bool> mergeCookies;       // default true
    std::optional<bool> addDefaultHeaders;  // default true
    std::optional<bool> normalizeHeaders;   // default true
    HttpOutcome* outcome = nullptr;         // out: whether the body came whole
    // Hosts reached without the proxy, comma-separated ("*" all); not given: none.
    std::optional<std::string> noProxy;
};

std::string httpRequest(const std::string& url, const HttpRequestOptions& options = {});

}  // namespace quivra

#include "net/http_request.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "net/cookies.h"
#include "net/header_text.h"
#include "net/http_session.h"
#include "net/http_timeout.h"
#include "net/text_encoding.h"
#include "net/text_helpers.h"
#include "net/text_slices.h"

namespace quivra {

const char* const kBrowserUserAgentLine =
    "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/50.0.2661.87 Safari/537.36";

namespace {

constexpr long kMaxRedirects = 10;
// A trickling server must not hold the caller forever: the whole exchange may take at
// most this many times the per-phase timeout.
constexpr long kOverallPhases = 8;
// Answers of the site's interface are a few kilobytes (media never come through here: the
// download engine fetches them). A larger answer is refused rather than let a hostile
// site exhaust memory, and so is an endless header block.
constexpr size_t kMaxBodyBytes = size_t{4} << 20;
constexpr size_t kMaxHeaderBytes = size_t{1} << 20;

const char* verbFor(int method) {
    static const char* const verbs[] = {"GET",     "POST",   "HEAD",  "PUT",
                                        "OPTIONS", "DELETE", "TRACE", "CONNECT"};
    return method >= 0 && method <= 7 ? verbs[method] : verbs[0];
}

bool equalNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

bool isTokenCharacter(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// A header that could not be a single well-formed line is refused, as the request
// object refuses a header without a name: it must never smuggle in extra lines.
bool isAcceptableHeader(const HeaderField& field) {
    if (field.name.empty() || !std::all_of(field.name.begin(), field.name.end(), isTokenCharacter))
        return false;
    return field.value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// The headers set on the request, in the order they were first set; setting a name
// again (ASCII case ignored) replaces its value.
class RequestHeaders {
  public:
    void set(const HeaderField& field) {
        if (!isAcceptableHeader(field)) return;
        for (auto& existing : fields_) {
            if (equalNoCase(existing.name, field.name)) {
                existing.value = field.value;
                return;
            }
        }
        fields_.push_back(field);
    }

    bool has(const std::string& name) const {
        return std::any_of(fields_.begin(), fields_.end(),
                           [&](const HeaderField& f) { return equalNoCase(f.name, name); });
    }

    const std::vector<HeaderField>& fields() const { return fields_; }

  private:
    std::vector<HeaderField> fields_;
};

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

bool append(Slist& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown) return false;
    list.release();
    list.reset(grown);
    return true;
}

// libcurl drops "Name:" with an empty value; "Name;" sends it empty.
std::string curlHeaderLine(const HeaderField& field) {
    const std::string name = localToUtf8(field.name);
    if (trimBlanks(field.value).empty()) return name + ";";
    return name + ": " + localToUtf8(field.value);
}

struct HandleDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

// What came back: the final response's header lines and body.
struct Response {
    std::vector<std::string> headerLines;
    std::string body;
    size_t headerBytes = 0;  // of every response, redirects included
    bool began = false;      // a status line arrived
    bool tooLarge = false;   // refused for its size
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    try {
        auto* response = static_cast<Response*>(user);
        if (response->body.size() + size * count > kMaxBodyBytes) {
            response->tooLarge = true;
            return 0;
        }
        response->body.append(data, size * count);
        return size * count;
    } catch (...) {
        return 0;  // ends the transfer as failed
    }
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    try {
        auto* response = static_cast<Response*>(user);
        response->headerBytes += size * count;
        if (response->headerBytes > kMaxHeaderBytes) {
            response->tooLarge = true;
            return 0;
        }
        std::string line(data, size * count);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.starts_with("HTTP/")) {
            // A new response (after a redirect, a 100 Continue or a proxy tunnel): only
            // the last one counts.
            response->began = true;
            response->headerLines.clear();
            response->body.clear();
        } else if (!line.empty()) {
            response->headerLines.push_back(utf8ToLocalText(line));
        }
        return size * count;
    } catch (...) {
        return 0;
    }
}

// Bytes that may not stand in a request line (controls, blanks, non-ASCII) are
// percent-encoded.
std::string escapeUrl(const std::string& utf8) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : utf8) {
        if (c <= 0x20 || c >= 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && equalNoCase(text.substr(0, prefix.size()), prefix);
}

void applyTimeouts(CURL* handle, std::optional<int> timeoutSeconds) {
    std::optional<long> ms = requestTimeoutMs(timeoutSeconds);
    if (!ms) return;
    // Name resolution and connecting share one timeout; sending and receiving stop
    // when no byte moved for the same time.
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, *ms);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, std::max(1L, (*ms + 999) / 1000));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, *ms * kOverallPhases);
}

// The final response's header lines (read as UTF-8, held as local text) without the
// status line, each followed by CR LF, then one more CR LF: the form of the request
// object's GetAllResponseHeaders.
std::string headerBlock(const std::vector<std::string>& lines) {
    std::string block;
    for (const auto& line : lines) block += line + "\r\n";
    return block + "\r\n";
}

// Everything about reaching the server: timeouts, proxy, address, redirects, TLS.
void configureTransport(CURL* handle, const std::string& url, const HttpRequestOptions& options) {
    applyTimeouts(handle, options.timeoutSeconds);
    // An empty proxy also keeps proxies named by the environment out.
    curl_easy_setopt(handle, CURLOPT_PROXY, localToUtf8(options.proxy.value_or("")).c_str());
    curl_easy_setopt(handle, CURLOPT_NOPROXY, options.noProxy.value_or("").c_str());

    curl_easy_setopt(handle, CURLOPT_URL, escapeUrl(localToUtf8(url)).c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    // Like the request object's default policy, never follow from HTTPS down to HTTP.
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR,
                     startsWithNoCase(url, "https:") ? "https" : "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, options.noRedirect.value_or(false) ? 0L : 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // HTTP/1.1 keeps header names as the server spells them (Set-Cookie is matched exactly).
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);

    // Certificates and host names are checked against the system's trust store.
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
}

// Credentials for the proxy (target 1) or the server (target 0), only with a proxy and a
// user name. Returns the headers for the proxy alone.
Slist configureCredentials(CURL* handle, const HttpRequestOptions& options) {
    Slist proxyHeaders;
    const std::string proxyUser = options.proxyUser.value_or("");
    const std::string proxyPassword = options.proxyPassword.value_or("");
    if (options.proxy.value_or("").empty() || proxyUser.empty()) return proxyHeaders;
    const std::string user = localToUtf8(proxyUser);
    const std::string password = localToUtf8(proxyPassword);
    const int target = options.credentialsTarget.value_or(1);
    if (target == 1) {
        curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, user.c_str());
        curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, password.c_str());
        curl_easy_setopt(handle, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
        // Sent to the proxy only, never through a tunnel to the server.
        append(proxyHeaders,
               "Proxy-Authorization: Basic " + base64Encode(proxyUser + ":" + proxyPassword));
    } else if (target == 0) {
        // Answered only when the server asks for authentication.
        curl_easy_setopt(handle, CURLOPT_USERNAME, user.c_str());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, password.c_str());
        curl_easy_setopt(handle, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    }
    return proxyHeaders;
}

// The Cookie header (its text cleaned of "Cookie:" in the caller's variable), then the
// lines of the header text with the defaults and re-cased names.
RequestHeaders collectRequestHeaders(const std::string& url, const HttpRequestOptions& options,
                                     bool isPost) {
    std::string headerText = options.headers.value_or("");
    if (options.addDefaultHeaders.value_or(true)) {
        headerText = withDefaultHeaders(headerText, url, isPost);
    }
    if (options.normalizeHeaders.value_or(true)) headerText = normalizeHeaderNames(headerText);

    RequestHeaders headers;
    if (options.cookies) {
        std::string& cookies = *options.cookies;
        if (!cookies.empty() && findNoCase(cookies, "Cookie:") != std::string::npos) {
            cookies = removeNoCase(cookies, "Cookie:");
        }
        headers.set({"Cookie", cookies});
    }
    if (headerText.find("\r\n") == std::string::npos) {
        HeaderField only = splitHeaderLine(headerText);
        if (!(only.name == "Connection" && only.value == "keep-alive")) headers.set(only);
    } else {
        for (const auto& field : headerFields(headerText)) headers.set(field);
    }
    return headers;
}

// The verb and the body (the bytes, else the text as UTF-8). Returns whether a body goes
// out.
bool configureBody(CURL* handle, const std::string& verb, const HttpRequestOptions& options) {
    std::string body;
    if (options.postBytes && !options.postBytes->empty()) {
        body = *options.postBytes;
    } else {
        body = localToUtf8(options.postText.value_or(""));
    }
    if (verb == "HEAD") {
        curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
        return false;
    }
    const bool isPost = verb == "POST";
    const bool sendsBody = isPost || !body.empty();
    if (sendsBody) {
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(handle, CURLOPT_COPYPOSTFIELDS, body.data());
    }
    if (!isPost && (sendsBody || verb != "GET")) {
        curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, verb.c_str());
    }
    return sendsBody;
}

Slist curlHeaderList(const RequestHeaders& headers, bool sendsBody) {
    Slist list;
    for (const auto& field : headers.fields()) append(list, curlHeaderLine(field));
    // Only what was set goes out: none of libcurl's own Accept, Expect or Content-Type.
    if (!headers.has("Accept")) append(list, "Accept:");
    if (!headers.has("Expect")) append(list, "Expect:");
    if (sendsBody && !headers.has("Content-Type")) append(list, "Content-Type:");
    return list;
}

HttpOutcome outcomeOf(CURLcode code, bool proxied, const Response& response) {
    if (code == CURLE_OK) return HttpOutcome::Whole;
    // Through a proxy, a connection that could not be made is one to the proxy.
    if (code == CURLE_COULDNT_RESOLVE_PROXY || (proxied && code == CURLE_COULDNT_CONNECT)) {
        return HttpOutcome::ProxyUnreachable;
    }
    if (response.tooLarge) return HttpOutcome::TooLarge;
    return response.began ? HttpOutcome::Cut : HttpOutcome::NoAnswer;
}

std::string perform(const std::string& url, const HttpRequestOptions& options, CURL* handle) {
    const std::string verb = verbFor(options.method.value_or(0));
    configureTransport(handle, url, options);
    Slist proxyHeaders = configureCredentials(handle, options);
    const RequestHeaders headers = collectRequestHeaders(url, options, verb == "POST");
    const bool sendsBody = configureBody(handle, verb, options);
    Slist requestHeaders = curlHeaderList(headers, sendsBody);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, requestHeaders.get());
    curl_easy_setopt(handle, CURLOPT_PROXYHEADER, proxyHeaders.get());
    curl_easy_setopt(handle, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);

    Response response;
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &response);

    const CURLcode code = curl_easy_perform(handle);
    const bool arrived = code == CURLE_OK;
    long status = 0;
    if (arrived) curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    // The handle may outlive this call (a session): leave no pointer to our locals.
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(handle, CURLOPT_PROXYHEADER, nullptr);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, nullptr);

    if (options.outcome)
        *options.outcome = outcomeOf(code, !options.proxy.value_or("").empty(), response);
    const std::string responseHeaders = arrived ? headerBlock(response.headerLines) : "";
    if (options.responseHeaders) *options.responseHeaders = responseHeaders;
    if (options.statusCode) *options.statusCode = arrived ? static_cast<int>(status) : 0;

    std::string returned = collectSetCookies(responseHeaders);
    if (options.mergeCookies.value_or(true) && options.cookies) {
        returned = mergeCookieStrings(*options.cookies, returned);
    }
    if (options.returnedCookies) *options.returnedCookies = returned;
    return arrived ? std::move(response.body) : std::string();
}

}  // namespace

std::string httpRequest(const std::string& url, const HttpRequestOptions& options) {
    if (options.outcome) *options.outcome = HttpOutcome::NoAnswer;
    try {
        ensureCurlInitialised();
        if (options.requestObject) {
            CURL* handle = options.requestObject->handle();
            if (!handle) return {};
            curl_easy_reset(handle);  // keeps the session's open connections
            return perform(url, options, handle);
        }
        std::unique_ptr<CURL, HandleDeleter> handle(curl_easy_init());
        if (!handle) return {};
        return perform(url, options, handle.get());
    } catch (...) {
        return {};
    }
}

}  // namespace quivra

// Which proxy each request of the program takes, from the proxy setting: the one fact
// that libcurl's requests and the download engine both follow.
#pragma once

#include <optional>
#include <string>

#include "base/records.h"
#include "net/http_request.h"
#include "net/proxy_address.h"

namespace quivra {

// The proxy variables of the environment (an unset one is empty).
struct ProxyEnvironment {
    std::string httpProxy;   // http_proxy
    std::string httpsProxy;  // https_proxy, else HTTPS_PROXY
    std::string noProxy;     // no_proxy, else NO_PROXY
};

ProxyEnvironment systemProxyEnvironment();

struct ProxyRoute {
    std::optional<ProxyServer> http;   // for http:// addresses
    std::optional<ProxyServer> https;  // for https:// addresses (a tunnel through it)
    std::string noProxy;               // hosts reached directly, comma-separated
    std::string failure;               // why the setting cannot be used (local text)

    // The server for a request to url, or nullptr for a direct one.
    const ProxyServer* serverFor(const std::string& url) const;
};

// An address that cannot be used gives a failure, which the settings window and --proxy
// show, and a server that refuses every connection, so nothing goes around the proxy.
ProxyRoute proxyRoute(const ProxySetting& setting, const ProxyEnvironment& environment);

// The route of the program's current setting.
ProxyRoute programProxyRoute();

// httpRequest through the program's proxy for url, with its credentials: every request of
// the program to the site goes through here.
std::string siteRequest(const std::string& url, HttpRequestOptions options = {});

}  // namespace quivra

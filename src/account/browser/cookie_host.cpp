#include "account/browser/cookie_host.h"

#include <algorithm>
#include <cctype>

namespace quivra {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isIpAddress(const std::string& host) {
    return host.find_first_not_of("0123456789.") == std::string::npos || host.front() == '[';
}

}  // namespace

SiteHosts siteHostsOf(const std::string& address) {
    SiteHosts site;
    std::string rest = address;
    if (const size_t scheme = rest.find("://"); scheme != std::string::npos) {
        rest = rest.substr(scheme + 3);
    }
    rest = rest.substr(0, rest.find('/'));
    if (const size_t at = rest.rfind('@'); at != std::string::npos) rest = rest.substr(at + 1);
    if (!rest.empty() && rest.front() != '[') rest = rest.substr(0, rest.find(':'));
    site.host = lowerCase(rest);
    if (site.host.empty() || isIpAddress(site.host)) return site;
    if (std::count(site.host.begin(), site.host.end(), '.') >= 2) {
        site.parent = site.host.substr(site.host.find('.') + 1);
    }
    return site;
}

bool isSiteCookieHost(const SiteHosts& site, const std::string& cookieHost) {
    std::string host = lowerCase(cookieHost);
    if (host.starts_with('.')) host.erase(0, 1);
    if (host.empty()) return false;
    return host == site.host || (!site.parent.empty() && host == site.parent);
}

}  // namespace quivra

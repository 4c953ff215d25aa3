// Which cookies are the site's: those of the host of its main address and of the
// host's parent domain.
#pragma once

#include <string>

namespace quivra {

struct SiteHosts {
    std::string host;    // lower case, without port
    std::string parent;  // "" for an IP address or a host of fewer than three labels
};

SiteHosts siteHostsOf(const std::string& address);

// cookieHost as a store keeps it: "www.quivra.com" or ".quivra.com".
bool isSiteCookieHost(const SiteHosts& site, const std::string& cookieHost);

}  // namespace quivra

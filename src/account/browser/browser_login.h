// Login from a browser: the site's cookies read from the user's Firefox or Chromium
// profile, for the host of the site's main address and its parent domain. Nothing else
// of the profile is kept; the store is read from a copy, so a running browser is left
// alone.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quivra {

enum class Browser { Firefox, Chromium };

// "firefox" or "chromium" (also "chrome"), without regard to case.
std::optional<Browser> browserFromName(std::string_view name);

struct BrowserCookies {
    std::string cookie;   // "name=value; ..." of the site's cookies; "" on failure
    std::string failure;  // local text: why nothing was read; "" on success
};

// home: the user's home folder (UTF-8); siteAddress: the [site] main address.
BrowserCookies readBrowserLogin(Browser browser, const std::string& home,
                                const std::string& siteAddress);

}  // namespace quivra

// Where a browser keeps the cookie store of the user's default profile.
#pragma once

#include <string>

#include "account/browser/browser_login.h"

namespace quivra {

// The path of the store (UTF-8), or "" when the browser has no profile in home.
// Firefox: the default profile of ~/.mozilla/firefox/profiles.ini, its cookies.sqlite.
// Chromium: Default/Network/Cookies or Default/Cookies under ~/.config/chromium, then
// under ~/.config/google-chrome.
std::string cookieStorePath(Browser browser, const std::string& home);

}  // namespace quivra

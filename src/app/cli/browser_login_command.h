// login --browser NAME: the login cookie read from a browser's profile. It runs in
// quivra-downloader-downloads, which loads SQLite anyway; quivra-downloader hands the
// process over to it, so its other commands start without the cookie stores' libraries.
#pragma once

#include <string>

#include "app/cli/output.h"

namespace quivra {

// name: "firefox" or "chromium"; returns the exit status.
int runBrowserLogin(const std::string& name, Terminal& terminal);

// What login --cookie does with the cookie once it has it: the account asked for and
// stored, success or the reason on the terminal.
int loginWithCookieText(std::string cookie, Terminal& terminal);

}  // namespace quivra

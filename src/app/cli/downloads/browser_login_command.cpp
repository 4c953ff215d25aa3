#include <cstdlib>

#include "account/browser/browser_login.h"
#include "app/cli/browser_login_command.h"
#include "app/cli/exit_status.h"
#include "base/shared_state.h"
#include "net/cookies.h"

namespace quivra {

int runBrowserLogin(const std::string& name, Terminal& terminal) {
    const char* home = std::getenv("HOME");
    const BrowserCookies found =
        readBrowserLogin(browserFromName(name).value_or(Browser::Firefox),
                         home != nullptr ? home : "", sharedState().site.main);
    if (!found.failure.empty()) {
        terminal.localError(found.failure);
        return kExitFailed;
    }
    return loginWithCookieText(tidyPastedCookie(found.cookie), terminal);
}

}  // namespace quivra

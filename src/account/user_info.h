// Who a cookie belongs to: asks the account endpoint, fills the shared user record and
// stores it in config.ini.
#pragma once

#include <string>

namespace quivra {

// True when the answer was accepted and stored. cookie may be rewritten with cookies the
// answer sets. On a refusal the user record's failure message holds the site's message.
bool fetchUserInfo(std::string& cookie);

// Logs out: empties the user record and stores the empty record in config.ini (texts
// empty, flags "0"), so the next start finds nobody logged in.
void forgetUserInfo();

}  // namespace quivra

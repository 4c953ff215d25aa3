// Who a cookie belongs to: asks the account endpoint, fills the shared user record and
// stores it in config.ini.
#pragma once

#include <string>

#include "base/records.h"

namespace quivra {

// True when the answer was accepted and stored. cookie may be rewritten with cookies the
// answer sets. On a failure the user record's failure message says why: the site's
// message on a refusal, otherwise what was wrong with the answer; never "".
bool fetchUserInfo(std::string& cookie);

// Puts an accepted account into the shared user record (its failure message kept) and
// into config.ini. The cookie is kept as config.ini reads it back, so this run and the
// next send the same login.
void keepUserRecord(UserRecord user);

// Logs out: empties the user record and stores the empty record in config.ini (texts
// empty, flags "0"), so the next start finds nobody logged in.
void forgetUserInfo();

}  // namespace quivra

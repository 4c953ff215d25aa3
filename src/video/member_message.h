// The message that refuses what only the site's paying members may download.
#pragma once

#include <string>

namespace quivra {

// Said of a quality the account may not download and of an episode for members only
// (local text).
std::string memberOnlyMessage();

}  // namespace quivra

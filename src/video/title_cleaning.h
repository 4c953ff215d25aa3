// Titles made fit for folder and file names, and durations as list texts.
#pragma once

#include <cstddef>
#include <string>

namespace quivra {

// Every character that is not a decimal digit, a letter or a CJK ideograph
// (U+4E00..U+9FA5) becomes one "_". Local text in and out.
std::string cleanTitle(const std::string& title);

// The longest leading part of a local-text name whose UTF-8 form, the one the file
// system stores, takes at most maxBytes; cut between characters.
std::string fitNameBytes(const std::string& name, std::size_t maxBytes);

// Seconds as "mm:ss": two-digit minutes (not carried into hours) and seconds.
std::string formatDuration(int seconds);

}  // namespace quivra

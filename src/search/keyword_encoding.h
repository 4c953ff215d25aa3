// The keyword of a search as it goes into the request address.
#pragma once

#include <string>

namespace quivra {

// The keyword as the search box holds it, UTF-8 (local text has no room for characters
// such as emoji), percent-encoded: digits, letters, "-" and "." stay; every other byte
// becomes "%" and two upper-case hex digits. "" gives "".
std::string encodeKeyword(const std::string& utf8Keyword);

}  // namespace quivra

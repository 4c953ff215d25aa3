// The keyword of a search as it goes into the request address.
#pragma once

#include <string>

namespace quivra {

// Local text to percent-encoded UTF-8: digits, letters, "-" and "." stay; every other
// byte becomes "%" and two upper-case hex digits. "" gives "".
std::string encodeKeyword(const std::string& keyword);

}  // namespace quivra

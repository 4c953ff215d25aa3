// The signature the site asks of requests under /wbi/: the query gets wts (the time) and
// w_rid (an MD5 over the sorted query and a key mixed from the nav answer's two keys).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quivra {

using QueryParameters = std::vector<std::pair<std::string, std::string>>;

// The key of an address in the nav answer's wbi_img: the file name without its extension.
std::string wbiKeyOfAddress(std::string_view address);

// The 32-character mixing key of the img and sub keys (each 32 characters).
std::string wbiMixingKey(std::string_view imgKey, std::string_view subKey);

// The signed query text: the parameters (UTF-8) with wts added, the characters !'()* dropped from
// every value, sorted by key, percent-encoded (upper-case hex, a blank as %20), then
// "&w_rid=" and the MD5 (hex) of that text followed by the mixing key.
std::string signWbiQuery(QueryParameters parameters, std::int64_t wts, std::string_view mixingKey);

}  // namespace quivra

// Cutting pieces out of local text by markers.
#pragma once

#include <string>

namespace quivra {

// The text before the first occurrence of separator (case-sensitive); "" when absent.
std::string textBefore(const std::string& text, const std::string& separator);

// The text between startMarker and the first endMarker after it; "" when either is
// missing. "#引号" in a marker stands for a double quote.
std::string textBetween(const std::string& text, std::string startMarker, std::string endMarker);

// Case-insensitive (ASCII letters) search; positions as findLocal.
size_t findNoCase(const std::string& haystack, const std::string& needle, size_t from = 0);

// The text with every occurrence of needle (ASCII case ignored) removed.
std::string removeNoCase(const std::string& text, const std::string& needle);

}  // namespace quivra

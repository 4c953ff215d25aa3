// Reads a JavaScript string literal ('...' or "...") as the script engine would:
// backslash escapes are interpreted, a raw line break or a missing end quote is an error.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quivra {

// text[pos] is the opening quote. On success returns the content as UTF-8 and leaves pos
// just past the closing quote.
std::optional<std::string> readStringLiteral(std::string_view text, size_t& pos);

// The whole of text must be one literal.
std::optional<std::string> readWholeStringLiteral(std::string_view text);

}  // namespace quivra

// Writes JSON values the way a JavaScript engine prints them: number text by
// Number#toString, compact JSON by JSON.stringify with its escape list.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace quivra {

using Json = nlohmann::ordered_json;

// The value of a number node as a double (integers beyond 2^53 lose their low digits).
double jsonNumber(const Json& value);

// JavaScript's number text: "0", "-2", "1.5", "1e+21", "1e-7", "NaN", "Infinity".
std::string jsNumberText(double number);

// Compact JSON text (UTF-8); every U+2400 of the output becomes a backslash.
std::string writeJson(const Json& value);

// The value as JavaScript turns it into a string: strings unchanged, numbers and booleans
// as text, objects "[object Object]", arrays their elements joined with ",", null "".
// The U+2400 placeholder is left in place.
std::string plainText(const Json& value);

// Whether any string or member name below value holds U+2400.
bool holdsPlaceholder(const Json& value);

}  // namespace quivra

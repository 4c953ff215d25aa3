// The PARTS of get: part numbers as the list counts them, like "1,3-5".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quivra {

// Numbers and ranges from 1 joined by commas ("1,3-5", "2", "4-4"); the numbers in
// ascending order, each once. nullopt when the text is anything else (blanks, "0",
// "5-3", "1,,2").
std::optional<std::vector<int>> parsePartNumbers(const std::string& text);

}  // namespace quivra

// The cookie list: "name=value" entries separated by "; ".
#pragma once

#include <string>
#include <vector>

namespace quivra {

// Merges newList into oldList (new entries win); writes the merged list into oldList and
// the trimmed form into newList, and returns the merged list.
std::string mergeCookieStrings(std::string& oldList, std::string& newList);
std::string cookieName(const std::string& entry);
bool hasCookieNamed(const std::vector<std::string>& entries, const std::string& name);

enum class DuplicateMode { BySeparator, ByCharacter };
std::string removeDuplicateParts(const std::string& text, const std::string& separator,
                                 DuplicateMode mode = DuplicateMode::BySeparator);
int indexOfText(const std::vector<std::string>& texts, const std::string& text);

}  // namespace quivra

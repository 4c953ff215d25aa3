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

// A cookie pasted by the user as the Cookie header's list: line breaks and blanks around
// and between the pairs removed ("a=1;\n b=2\n" gives "a=1; b=2"). A line break between
// two pairs separates them as ";" does.
std::string tidyPastedCookie(const std::string& pasted);

// The list at most maxBytes long, by leaving out whole entries, the longest first, but
// never an entry named SESSDATA (the login itself). A list that fits comes back as it is.
std::string fitCookieList(const std::string& list, size_t maxBytes);

enum class DuplicateMode { BySeparator, ByCharacter };
std::string removeDuplicateParts(const std::string& text, const std::string& separator,
                                 DuplicateMode mode = DuplicateMode::BySeparator);
int indexOfText(const std::vector<std::string>& texts, const std::string& text);

}  // namespace quivra

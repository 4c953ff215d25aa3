#include "net/cookies.h"

#include <algorithm>
#include <unordered_set>

#include "net/text_helpers.h"

namespace quivra {
namespace {

const std::string kSeparator = "; ";

// Splits at the separator. Empty parts between two separators and a leading empty part
// are kept; an empty part after the last separator is dropped. An empty separator does
// not split.
std::vector<std::string> splitAt(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    if (separator.empty()) {
        if (!text.empty()) parts.push_back(text);
        return parts;
    }
    size_t start = 0;
    while (true) {
        size_t found = findLocal(text, separator, start);
        if (found == std::string::npos) break;
        parts.push_back(text.substr(start, found - start));
        start = found + separator.size();
    }
    if (start < text.size()) parts.push_back(text.substr(start));
    return parts;
}

// Trims the list's spaces and lets a trailing ";" end with its separator, so that
// splitting does not take it into the last entry.
void tidyList(std::string& list) {
    list = trimBlanks(list);
    if (!list.empty() && list.back() == ';') list += ' ';
}

// Blanks, tabs and line breaks removed at both ends.
std::string trimWhiteSpace(const std::string& text) {
    const char* white = " \t\r\n";
    const size_t first = text.find_first_not_of(white);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(white) - first + 1);
}

bool isDeletionMark(const std::string& entry) {
    return entry.ends_with("=deleted");
}

std::string joinDistinct(const std::vector<std::string>& parts, const std::string& separator) {
    std::unordered_set<std::string> seen;
    std::string out;
    for (const auto& part : parts) {
        if (!seen.insert(part).second) continue;
        out += part;
        out += separator;
    }
    if (!out.empty()) out.resize(out.size() - separator.size());
    return out;
}

}  // namespace

std::string cookieName(const std::string& entry) {
    return trimBlanks(entry.substr(0, entry.find('=')));
}

bool hasCookieNamed(const std::vector<std::string>& entries, const std::string& name) {
    for (const auto& entry : entries) {
        if (cookieName(entry) == name) return true;
    }
    return false;
}

std::string mergeCookieStrings(std::string& oldList, std::string& newList) {
    tidyList(oldList);
    tidyList(newList);
    std::vector<std::string> merged = splitAt(newList, kSeparator);
    // Old entries are kept after the new ones unless a new (or earlier old) entry has
    // their name.
    for (const auto& entry : splitAt(oldList, kSeparator)) {
        if (!hasCookieNamed(merged, cookieName(entry))) merged.push_back(entry);
    }
    std::string result;
    for (const auto& entry : merged) {
        if (isDeletionMark(entry)) continue;
        result += entry;
        result += kSeparator;
    }
    if (!result.empty()) result.resize(result.size() - kSeparator.size());
    oldList = removeDuplicateParts(result, kSeparator);
    return oldList;
}

std::string removeDuplicateParts(const std::string& text, const std::string& separator,
                                 DuplicateMode mode) {
    if (mode == DuplicateMode::ByCharacter) {
        std::vector<std::string> characters;
        splitCharacters(text, characters);
        return joinDistinct(characters, separator);
    }
    return joinDistinct(splitAt(text, separator), separator);
}

std::string tidyPastedCookie(const std::string& pasted) {
    std::string tidy;
    size_t start = 0;
    while (start <= pasted.size()) {
        const size_t end = std::min(pasted.find_first_of(";\r\n", start), pasted.size());
        const std::string pair = trimWhiteSpace(pasted.substr(start, end - start));
        if (!pair.empty()) tidy += (tidy.empty() ? "" : kSeparator) + pair;
        start = end + 1;
    }
    return tidy;
}

std::string fitCookieList(const std::string& list, size_t maxBytes) {
    if (list.size() <= maxBytes) return list;
    std::vector<std::string> entries = splitAt(list, kSeparator);
    std::vector<size_t> droppable;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (cookieName(entries[i]) != "SESSDATA") droppable.push_back(i);
    }
    std::stable_sort(droppable.begin(), droppable.end(),
                     [&](size_t a, size_t b) { return entries[a].size() > entries[b].size(); });
    std::vector<bool> dropped(entries.size(), false);
    size_t length = list.size();
    for (size_t i : droppable) {
        if (length <= maxBytes) break;
        dropped[i] = true;
        length -= std::min(length, entries[i].size() + kSeparator.size());
    }
    std::string fitted;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!dropped[i]) fitted += (fitted.empty() ? "" : kSeparator) + entries[i];
    }
    return fitted;
}

int indexOfText(const std::vector<std::string>& texts, const std::string& text) {
    for (size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] == text) return static_cast<int>(i) + 1;
    }
    return -1;
}

}  // namespace quivra

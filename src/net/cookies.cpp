#include "net/cookies.h"

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

int indexOfText(const std::vector<std::string>& texts, const std::string& text) {
    for (size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] == text) return static_cast<int>(i) + 1;
    }
    return -1;
}

}  // namespace quivra

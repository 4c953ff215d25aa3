#include "video/title_cleaning.h"

#include <set>
#include <vector>

#include "net/regex_object.h"
#include "net/text_encoding.h"
#include "net/text_helpers.h"

namespace quivra {
namespace {

std::string twoDigits(int value) {
    std::string text = std::to_string(value);
    return text.size() == 1 ? "0" + text : text;
}

}  // namespace

std::string cleanTitle(const std::string& title) {
    RegexObject regex;
    if (!regex.execute("[^0-9a-z\\u4e00-\\u9fa5]", title) || regex.matchCount() == 0) {
        return title;
    }

    // The characters the pattern found. Each match is split on its own, so a CR of one
    // match and the LF of the next do not join into one character.
    std::set<std::string> unwanted;
    std::vector<std::string> characters;
    const int matches = regex.matchCount();
    for (int i = 1; i <= matches; ++i) {
        splitCharacters(regex.matchText(i), characters);
        unwanted.insert(characters.begin(), characters.end());
    }

    // Walking the title by whole characters never mistakes the trail byte of one
    // double-byte character and the lead byte of the next for an unwanted character.
    splitCharacters(title, characters);
    std::string cleaned;
    cleaned.reserve(title.size());
    for (const std::string& character : characters) {
        const bool lineBreak = character == "\r\n" && unwanted.count("\r");
        cleaned += unwanted.count(character) || lineBreak ? "_" : character;
    }
    return cleaned;
}

std::string fitNameBytes(const std::string& name, std::size_t maxBytes) {
    std::vector<std::string> characters;
    splitCharacters(name, characters);
    std::string fitted;
    std::size_t bytes = 0;
    for (const std::string& character : characters) {
        bytes += localToUtf8(character).size();
        if (bytes > maxBytes) break;
        fitted += character;
    }
    return fitted;
}

std::string formatDuration(int seconds) {
    if (seconds < 60) return "00:" + twoDigits(seconds);
    const int minutes = seconds / 60;
    return twoDigits(minutes) + ":" + twoDigits(seconds - 60 * minutes);
}

}  // namespace quivra

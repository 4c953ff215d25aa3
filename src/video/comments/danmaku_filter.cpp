#include "video/comments/danmaku_filter.h"

#include <algorithm>

#include "net/regex_object.h"
#include "net/text_helpers.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

std::string trimmed(const std::string& line) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

DanmakuBlocklist parseBlocklist(const std::string& lines) {
    DanmakuBlocklist blocklist;
    std::size_t start = 0;
    while (start <= lines.size()) {
        const std::size_t end = std::min(lines.find('\n', start), lines.size());
        const std::string line = trimmed(lines.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        if (line.size() > 2 && line.front() == '/' && line.back() == '/') {
            const std::string pattern = utf8ToLocalText(line.substr(1, line.size() - 2));
            if (isValidPattern(pattern)) {
                blocklist.patterns.push_back(pattern);
            } else {
                blocklist.problems.push_back(line + "：不是有效的正则表达式");
            }
        } else {
            blocklist.words.push_back(lowerAscii(line));
        }
    }
    return blocklist;
}

bool isBlocked(const Danmaku& comment, const DanmakuBlocklist& blocklist) {
    if (!blocklist.words.empty()) {
        const std::string text = lowerAscii(comment.text);
        for (const std::string& word : blocklist.words) {
            if (text.find(word) != std::string::npos) return true;
        }
    }
    if (blocklist.patterns.empty()) return false;
    const std::string local = utf8ToLocalText(comment.text);
    for (const std::string& pattern : blocklist.patterns) {
        RegexObject regex;
        if (regex.execute(pattern, local, false, true, false) && regex.matchCount() > 0) {
            return true;
        }
    }
    return false;
}

}  // namespace quivra

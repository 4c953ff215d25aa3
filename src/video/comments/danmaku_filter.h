// 屏蔽词: the words and patterns that keep a bullet comment off the screen, one a line; a
// line "/…/" is a regular expression, any other a word found anywhere, in any case.
#pragma once

#include <string>
#include <vector>

#include "video/comments/danmaku.h"

namespace quivra {

struct DanmakuBlocklist {
    std::vector<std::string> words;     // UTF-8, lower-cased ASCII
    std::vector<std::string> patterns;  // local text, as the program's patterns run
    std::vector<std::string> problems;  // the lines that are no pattern, each with why
};

// Blank lines are skipped; a pattern that does not compile is left out and named.
DanmakuBlocklist parseBlocklist(const std::string& lines);

bool isBlocked(const Danmaku& comment, const DanmakuBlocklist& blocklist);

}  // namespace quivra

#include "net/json_text.h"

#include <algorithm>
#include <cstring>

#include "net/text_encoding.h"

namespace quivra {
namespace {

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isTrailByte(unsigned char b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

// End of the run of non-ASCII bytes starting at i. A byte that may be the trail of the byte
// before it stays in the run, so the run splits the text where the converter would.
size_t nonAsciiRunEnd(const std::string& text, size_t i) {
    const size_t start = i;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        bool trailOfLead =
            i > start && isTrailByte(b) && static_cast<unsigned char>(text[i - 1]) >= 0x81;
        if (b < 0x80 && !trailOfLead) break;
        ++i;
    }
    return i;
}

}  // namespace

// Answers are mostly ASCII: only the runs of double-byte characters are converted, all in
// one call, joined by line feeds (a byte no GBK character contains) and split again.
std::string jsonTextFromLocal(const std::string& local) {
    if (isAscii(local)) return local;
    std::string runs;
    for (size_t i = 0; i < local.size();) {
        if (static_cast<unsigned char>(local[i]) < 0x80) {
            ++i;
            continue;
        }
        size_t end = nonAsciiRunEnd(local, i);
        runs.append(local, i, end - i);
        runs += '\n';
        i = end;
    }
    const std::string converted = localToUtf8(runs);
    std::string out;
    out.reserve(local.size() + converted.size());
    size_t from = 0;
    for (size_t i = 0; i < local.size();) {
        if (static_cast<unsigned char>(local[i]) < 0x80) {
            size_t end = i;
            while (end < local.size() && static_cast<unsigned char>(local[end]) < 0x80) ++end;
            out.append(local, i, end - i);
            i = end;
            continue;
        }
        size_t to = converted.find('\n', from);
        if (to == std::string::npos) return localToUtf8(local);  // cannot happen; stay correct
        out.append(converted, from, to - from);
        from = to + 1;
        i = nonAsciiRunEnd(local, i);
    }
    return out;
}

std::string jsonTextToLocal(const std::string& utf8) {
    if (isAscii(utf8)) return utf8.substr(0, utf8.find('\0'));
    return utf8ToLocalText(utf8);
}

void restoreBackslashes(std::string& utf8) {
    const size_t width = std::strlen(kBackslashPlaceholder);
    size_t at = utf8.find(kBackslashPlaceholder);
    if (at == std::string::npos) return;
    std::string out;
    out.reserve(utf8.size());
    size_t from = 0;
    while (at != std::string::npos) {
        out.append(utf8, from, at - from);
        out += '\\';
        from = at + width;
        at = utf8.find(kBackslashPlaceholder, from);
    }
    out.append(utf8, from, std::string::npos);
    utf8 = std::move(out);
}

std::string hideBackslashes(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        if (c == '\\') {
            out += kBackslashPlaceholder;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace quivra

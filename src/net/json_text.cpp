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

}  // namespace

std::string jsonTextFromLocal(const std::string& local) {
    if (isAscii(local)) return local;
    return localToUtf8(local);
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

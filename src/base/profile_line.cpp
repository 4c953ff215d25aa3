#include "base/profile_line.h"

namespace quivra {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view beforeZero(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

ProfileLine readProfileLine(std::string_view line) {
    ProfileLine result;
    std::string_view text = trimmed(line);
    if (text.starts_with("\xEF\xBB\xBF")) text = trimmed(text.substr(3));  // editor's BOM
    if (text.starts_with('[')) {
        text.remove_prefix(1);
        size_t close = text.rfind(']');
        result.kind = ProfileLine::Kind::Section;
        result.name = trimmed(beforeZero(text.substr(0, close)));
        return result;
    }
    size_t equals = text.find('=');
    if (equals == std::string_view::npos) return result;
    result.kind = ProfileLine::Kind::Item;
    result.name = trimmed(beforeZero(text.substr(0, equals)));
    result.value = trimmed(beforeZero(text.substr(equals + 1)));
    return result;
}

bool sameProfileName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto byte = static_cast<unsigned char>(a[i]);
        if (byte >= 0x81 && i + 1 < a.size()) {
            // A double-byte character: its trail byte may look like an ASCII letter.
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

std::string profileNameArgument(std::string_view name) {
    name = beforeZero(name);
    size_t start = 0;
    while (start < name.size() && static_cast<unsigned char>(name[start]) >= 1 &&
           static_cast<unsigned char>(name[start]) <= 32) {
        ++start;
    }
    return std::string(name.substr(start));
}

}  // namespace quivra

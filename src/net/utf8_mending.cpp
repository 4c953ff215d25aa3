#include "net/utf8_mending.h"

#include <cstdint>

namespace quivra {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr std::string_view kReplacementEscape = "\\ufffd";

// Length of the well-formed UTF-8 sequence at `at`, or, negated, the bytes of its maximal
// ill-formed subpart (at least one).
int sequenceLength(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return 1;
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return -1;
    }
    for (int i = 1; i < length; ++i) {
        if (at + i >= text.size()) return -i;
        const auto b = static_cast<unsigned char>(text[at + i]);
        const unsigned char from = i == 1 ? low : 0x80;
        const unsigned char to = i == 1 ? high : 0xBF;
        if (b < from || b > to) return -i;
    }
    return length;
}

// The code unit of a \uXXXX escape at `at` (the backslash), or -1 when it is none.
int32_t escapedUnit(std::string_view text, size_t at) {
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return -1;
    int32_t unit = 0;
    for (size_t i = at + 2; i < at + 6; ++i) {
        const char c = text[i];
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return -1;
        }
        unit = unit * 16 + digit;
    }
    return unit;
}

bool isHighSurrogate(int32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(int32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::string mendUtf8Json(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool inString = false;
    for (size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (inString && c == '\\') {
            const int32_t unit = escapedUnit(text, at);
            if (unit < 0) {  // another escape: copied whole, so its second character is no quote
                out.append(text.substr(at, 2));
                at += 2;
            } else if (isHighSurrogate(unit) && isLowSurrogate(escapedUnit(text, at + 6))) {
                out.append(text.substr(at, 12));
                at += 12;
            } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
                out.append(kReplacementEscape);
                at += 6;
            } else {
                out.append(text.substr(at, 6));
                at += 6;
            }
            continue;
        }
        if (c == '"') inString = !inString;
        const int length = sequenceLength(text, at);
        if (length > 0) {
            out.append(text.substr(at, static_cast<size_t>(length)));
            at += static_cast<size_t>(length);
        } else {
            out.append(kReplacement);
            at += static_cast<size_t>(-length);
        }
    }
    return out;
}

}  // namespace quivra

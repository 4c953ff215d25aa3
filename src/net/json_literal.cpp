#include "net/json_literal.h"

#include <cstdint>

#include "net/text_helpers.h"

namespace quivra {
namespace {

bool readHex(std::string_view text, size_t pos, int digits, uint32_t& value) {
    if (pos + digits > text.size()) return false;
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int v = hexDigitValue(text[pos + i]);
        if (v < 0) return false;
        value = value * 16 + static_cast<uint32_t>(v);
    }
    return true;
}

// Reads \uXXXX after the backslash at pos, joining a surrogate pair written as two escapes.
bool readUnicodeEscape(std::string_view text, size_t& pos, std::string& out) {
    uint32_t unit = 0;
    if (!readHex(text, pos + 2, 4, unit)) return false;
    pos += 6;
    uint32_t low = 0;
    if (unit >= 0xD800 && unit <= 0xDBFF && pos + 1 < text.size() && text[pos] == '\\' &&
        text[pos + 1] == 'u' && readHex(text, pos + 2, 4, low) && low >= 0xDC00 && low <= 0xDFFF) {
        pos += 6;
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        return true;
    }
    appendUtf8(out, unit);
    return true;
}

}  // namespace

std::optional<std::string> readStringLiteral(std::string_view text, size_t& pos) {
    if (pos >= text.size() || (text[pos] != '\'' && text[pos] != '"')) return std::nullopt;
    const char quote = text[pos];
    std::string out;
    size_t i = pos + 1;
    while (i < text.size()) {
        char c = text[i];
        if (c == quote) {
            pos = i + 1;
            return out;
        }
        if (c == '\n' || c == '\r') return std::nullopt;
        if (c != '\\') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) return std::nullopt;
        char e = text[i + 1];
        uint32_t value = 0;
        switch (e) {
            case 'n':
                out += '\n';
                i += 2;
                break;
            case 'r':
                out += '\r';
                i += 2;
                break;
            case 't':
                out += '\t';
                i += 2;
                break;
            case 'b':
                out += '\b';
                i += 2;
                break;
            case 'f':
                out += '\f';
                i += 2;
                break;
            case 'v':
                out += '\v';
                i += 2;
                break;
            case 'x':
                if (!readHex(text, i + 2, 2, value)) return std::nullopt;
                appendUtf8(out, value);
                i += 4;
                break;
            case 'u':
                if (!readUnicodeEscape(text, i, out)) return std::nullopt;
                break;
            case '\r':  // a line continuation
                i += (i + 2 < text.size() && text[i + 2] == '\n') ? 3 : 2;
                break;
            case '\n':
                i += 2;
                break;
            default:
                if (e >= '0' && e <= '7') {  // legacy octal escape, at most 0377
                    size_t j = i + 1;
                    while (j < text.size() && j < i + 4 && text[j] >= '0' && text[j] <= '7' &&
                           value * 8 + static_cast<uint32_t>(text[j] - '0') <= 0377) {
                        value = value * 8 + static_cast<uint32_t>(text[j] - '0');
                        ++j;
                    }
                    appendUtf8(out, value);
                    i = j;
                } else {
                    out += e;  // \' \" \\ and any other character stand for themselves
                    i += 2;
                }
        }
    }
    return std::nullopt;
}

std::optional<std::string> readWholeStringLiteral(std::string_view text) {
    size_t pos = 0;
    auto content = readStringLiteral(text, pos);
    if (!content || pos != text.size()) return std::nullopt;
    return content;
}

}  // namespace quivra

#include "net/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "net/json_text.h"

namespace quivra {
namespace {

// Characters JSON.stringify of the script engine writes as \uXXXX besides the controls.
bool needsUnicodeEscape(uint32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xAD || (c >= 0x600 && c <= 0x604) ||
           c == 0x70F || c == 0x17B4 || c == 0x17B5 || (c >= 0x200C && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202F) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF ||
           (c >= 0xFFF0 && c <= 0xFFFF);
}

void appendUnicodeEscape(std::string& out, uint32_t c) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
}

// Length of the UTF-8 sequence starting with lead byte b and its code point; the
// documents hold valid UTF-8, but a cut-off sequence is copied byte by byte.
size_t decodeAt(const std::string& s, size_t i, uint32_t& c) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (length == 1 || i + length > s.size()) {
        c = 0xFFFD;
        return 1;
    }
    c = b & (0x7F >> length);
    for (size_t k = 1; k < length; ++k)
        c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return length;
}

void writeString(std::string& out, const std::string& s) {
    out += '"';
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            switch (b) {
                case '"':
                    out += "\\\"";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                case '\b':
                    out += "\\b";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\f':
                    out += "\\f";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                default:
                    if (needsUnicodeEscape(b)) {
                        appendUnicodeEscape(out, b);
                    } else {
                        out += static_cast<char>(b);
                    }
            }
            ++i;
            continue;
        }
        uint32_t c = 0;
        size_t length = decodeAt(s, i, c);
        if (needsUnicodeEscape(c)) {
            appendUnicodeEscape(out, c);
        } else {
            out.append(s, i, length);
        }
        i += length;
    }
    out += '"';
}

void writeValue(std::string& out, const Json& value) {
    switch (value.type()) {
        case Json::value_t::object: {
            out += '{';
            bool first = true;
            for (const auto& [name, member] : value.items()) {
                if (member.is_discarded()) continue;
                if (!first) out += ',';
                first = false;
                writeString(out, name);
                out += ':';
                writeValue(out, member);
            }
            out += '}';
            break;
        }
        case Json::value_t::array: {
            out += '[';
            bool first = true;
            for (const auto& element : value) {
                if (!first) out += ',';
                first = false;
                if (element.is_discarded()) {
                    out += "null";
                } else {
                    writeValue(out, element);
                }
            }
            out += ']';
            break;
        }
        case Json::value_t::string:
            writeString(out, value.get_ref<const std::string&>());
            break;
        case Json::value_t::boolean:
            out += value.get<bool>() ? "true" : "false";
            break;
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float: {
            double number = jsonNumber(value);
            out += std::isfinite(number) ? jsNumberText(number) : "null";
            break;
        }
        default:
            out += "null";
    }
}

void appendPlain(std::string& out, const Json& value) {
    switch (value.type()) {
        case Json::value_t::object:
            out += "[object Object]";
            break;
        case Json::value_t::array: {
            bool first = true;
            for (const auto& element : value) {
                if (!first) out += ',';
                first = false;
                appendPlain(out, element);
            }
            break;
        }
        case Json::value_t::string:
            out += value.get_ref<const std::string&>();
            break;
        case Json::value_t::boolean:
            out += value.get<bool>() ? "true" : "false";
            break;
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float:
            out += jsNumberText(jsonNumber(value));
            break;
        default:
            break;  // null and missing elements print as nothing
    }
}

}  // namespace

double jsonNumber(const Json& value) {
    switch (value.type()) {
        case Json::value_t::number_integer:
            return static_cast<double>(value.get<int64_t>());
        case Json::value_t::number_unsigned:
            return static_cast<double>(value.get<uint64_t>());
        case Json::value_t::number_float:
            return value.get<double>();
        default:
            return 0;
    }
}

std::string jsNumberText(double number) {
    if (std::isnan(number)) return "NaN";
    if (std::isinf(number)) return number < 0 ? "-Infinity" : "Infinity";
    if (number == 0) return "0";  // also -0

    // Shortest round-trip digits and decimal exponent, then JavaScript's layout rules.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(number),
                                std::chars_format::scientific);
    std::string scientific(buffer, result.ptr);
    size_t e = scientific.find('e');
    std::string digits(1, scientific[0]);
    if (e > 2) digits += scientific.substr(2, e - 2);
    int exponent = 0;
    const char* expBegin = scientific.c_str() + e + 1;
    bool negativeExponent = *expBegin == '-';
    if (*expBegin == '+' || *expBegin == '-') ++expBegin;
    std::from_chars(expBegin, scientific.c_str() + scientific.size(), exponent);
    if (negativeExponent) exponent = -exponent;

    const int k = static_cast<int>(digits.size());
    const int n = exponent + 1;
    std::string out = number < 0 ? "-" : "";
    if (k <= n && n <= 21) {
        out += digits;
        out.append(n - k, '0');
    } else if (0 < n && n <= 21) {
        out += digits.substr(0, n);
        out += '.';
        out += digits.substr(n);
    } else if (-6 < n && n <= 0) {
        out += "0.";
        out.append(-n, '0');
        out += digits;
    } else {
        out += digits[0];
        if (k > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += n - 1 >= 0 ? "e+" : "e-";
        out += std::to_string(std::abs(n - 1));
    }
    return out;
}

std::string writeJson(const Json& value) {
    std::string out;
    writeValue(out, value);
    restoreBackslashes(out);
    return out;
}

std::string plainText(const Json& value) {
    std::string out;
    appendPlain(out, value);
    return out;
}

bool holdsPlaceholder(const Json& value) {
    switch (value.type()) {
        case Json::value_t::object:
            for (const auto& [name, member] : value.items()) {
                if (name.find(kBackslashPlaceholder) != std::string::npos) return true;
                if (holdsPlaceholder(member)) return true;
            }
            return false;
        case Json::value_t::array:
            for (const auto& element : value) {
                if (holdsPlaceholder(element)) return true;
            }
            return false;
        case Json::value_t::string:
            return value.get_ref<const std::string&>().find(kBackslashPlaceholder) !=
                   std::string::npos;
        default:
            return false;
    }
}

}  // namespace quivra

#include "net/text_helpers.h"

#include <cstring>

namespace quivra {

void appendUtf8(std::string& out, std::uint32_t c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;  // no UTF-8 form
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool isLeadByte(unsigned char byte) {
    return byte >= 0x81;
}

// Length of the GBK character that starts at i: 2 for a lead byte with a byte after it.
size_t characterLength(const std::string& text, size_t i) {
    return isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

}  // namespace

std::string base64Encode(const std::string& bytes) {
    std::string out;
    size_t n = bytes.size();
    if (n == 0) return out;
    out.reserve((n + 2) / 3 * 4);
    for (size_t i = 0; i < n; i += 3) {
        unsigned b1 = static_cast<unsigned char>(bytes[i]);
        unsigned b2 = i + 1 < n ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        unsigned b3 = i + 2 < n ? static_cast<unsigned char>(bytes[i + 2]) : 0;
        out.push_back(kAlphabet[b1 >> 2]);
        out.push_back(kAlphabet[((b1 & 3) << 4) | (b2 >> 4)]);
        out.push_back(kAlphabet[((b2 & 15) << 2) | (b3 >> 6)]);
        out.push_back(kAlphabet[b3 & 63]);
    }
    size_t r = n % 3;
    if (r == 1) out.replace(out.size() - 2, 2, "==");
    if (r == 2) out.back() = '=';
    return out;
}

int splitCharacters(const std::string& text, std::vector<std::string>& characters) {
    characters.clear();
    size_t i = 0;
    while (i < text.size()) {
        size_t length = characterLength(text, i);
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') length = 2;
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return static_cast<int>(characters.size());
}

std::string trimBlanks(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

size_t findLocal(const std::string& haystack, const std::string& needle, size_t from) {
    if (from > haystack.size()) return std::string::npos;
    // boundary walks the character starts from the beginning; a candidate found by the
    // byte search counts only when it falls on one of them.
    size_t boundary = 0;
    size_t start = from;
    while (true) {
        size_t candidate = haystack.find(needle, start);
        if (candidate == std::string::npos) return std::string::npos;
        while (boundary < candidate) boundary += characterLength(haystack, boundary);
        if (boundary == candidate) return candidate;
        start = candidate + 1;
    }
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace quivra

#include "search/keyword_encoding.h"

namespace quivra {

namespace {

bool keptAsIs(unsigned char byte) {
    return (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
           (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

}  // namespace

std::string encodeKeyword(const std::string& utf8Keyword) {
    static const char* const hexDigits = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char byte : utf8Keyword) {
        if (keptAsIs(byte)) {
            encoded += static_cast<char>(byte);
        } else {
            encoded += '%';
            encoded += hexDigits[byte >> 4];
            encoded += hexDigits[byte & 0x0F];
        }
    }
    return encoded;
}

}  // namespace quivra

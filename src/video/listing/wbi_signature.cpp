#include "video/listing/wbi_signature.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>

namespace quivra {
namespace {

constexpr std::array<int, 64> kMixingOrder = {
    46, 47, 18, 2,  53, 8,  23, 32, 15, 50, 10, 31, 58, 3,  45, 35, 27, 43, 5,  49, 33, 9,
    42, 19, 29, 28, 14, 39, 12, 38, 41, 13, 37, 48, 7,  16, 24, 55, 40, 61, 26, 17, 0,  1,
    60, 51, 30, 4,  22, 25, 54, 21, 56, 59, 6,  63, 57, 62, 11, 36, 20, 34, 44, 52};
constexpr size_t kMixingKeyLength = 32;
constexpr char kUpperHex[] = "0123456789ABCDEF";

std::string percentEncoded(std::string_view text) {
    std::string encoded;
    encoded.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' ||
            byte == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kUpperHex[byte >> 4];
            encoded += kUpperHex[byte & 0x0F];
        }
    }
    return encoded;
}

std::string withoutFilteredCharacters(std::string value) {
    std::erase_if(value,
                  [](char c) { return c == '!' || c == '\'' || c == '(' || c == ')' || c == '*'; });
    return value;
}

std::string md5Hex(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr) != 1) return "";
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        hex += "0123456789abcdef"[digest[i] >> 4];
        hex += "0123456789abcdef"[digest[i] & 0x0F];
    }
    return hex;
}

}  // namespace

std::string wbiKeyOfAddress(std::string_view address) {
    address = address.substr(0, address.find_first_of("?#"));
    const size_t slash = address.rfind('/');
    if (slash != std::string_view::npos) address.remove_prefix(slash + 1);
    return std::string(address.substr(0, address.rfind('.')));
}

std::string wbiMixingKey(std::string_view imgKey, std::string_view subKey) {
    const std::string joined = std::string(imgKey) + std::string(subKey);
    std::string key;
    for (int index : kMixingOrder) {
        if (key.size() == kMixingKeyLength) break;
        if (static_cast<size_t>(index) < joined.size()) key += joined[index];
    }
    return key;
}

std::string signWbiQuery(QueryParameters parameters, std::int64_t wts, std::string_view mixingKey) {
    parameters.emplace_back("wts", std::to_string(wts));
    std::stable_sort(parameters.begin(), parameters.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string query;
    for (const auto& [key, value] : parameters) {
        if (!query.empty()) query += '&';
        query += percentEncoded(key) + '=' + percentEncoded(withoutFilteredCharacters(value));
    }
    return query + "&w_rid=" + md5Hex(query + std::string(mixingKey));
}

}  // namespace quivra

#include "devsite/wbi_check.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "devsite/site_state.h"

namespace devsite {

namespace {

constexpr std::array<int, 64> kMixingOrder = {
    46, 47, 18, 2,  53, 8,  23, 32, 15, 50, 10, 31, 58, 3,  45, 35, 27, 43, 5,  49, 33, 9,
    42, 19, 29, 28, 14, 39, 12, 38, 41, 13, 37, 48, 7,  16, 24, 55, 40, 61, 26, 17, 0,  1,
    60, 51, 30, 4,  22, 25, 54, 21, 56, 59, 6,  63, 57, 62, 11, 36, 20, 34, 44, 52};

std::string mixingKeyOf(const WbiKeys& keys) {
    const std::string both = keys.img + keys.sub;
    std::string mixed;
    for (int position : kMixingOrder) {
        if (static_cast<std::size_t>(position) < both.size()) mixed += both[position];
    }
    return mixed.substr(0, 32);
}

std::string encodeForSignature(const std::string& text) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string md5Hex(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    static const char* const hex = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

}  // namespace

WbiKeys wbiKeys(int rotations) {
    if (rotations % 2 == 0)
        return {"7cd084941338484aae1ad9425b84077c", "4932caff0ff746eab6f01bf08b70ac45"};
    return {"0f1e2d3c4b5a69788796a5b4c3d2e1f0", "13579bdf02468ace13579bdf02468ace"};
}

bool wbiSignatureValid(const std::string& rawQuery, const WbiKeys& keys) {
    std::vector<std::pair<std::string, std::string>> parameters;
    std::string given;
    bool hasTime = false;
    std::size_t start = 0;
    while (start < rawQuery.size()) {
        auto end = rawQuery.find('&', start);
        if (end == std::string::npos) end = rawQuery.size();
        const std::string pair = rawQuery.substr(start, end - start);
        start = end + 1;
        if (pair.empty()) continue;
        const auto equals = pair.find('=');
        const std::string key = percentDecode(pair.substr(0, equals));
        std::string value =
            equals == std::string::npos ? "" : percentDecode(pair.substr(equals + 1));
        if (key == "w_rid") {
            given = value;
            continue;
        }
        hasTime = hasTime || key == "wts";
        std::erase_if(value, [](char c) {
            return std::string_view("!'()*").find(c) != std::string_view::npos;
        });
        parameters.emplace_back(key, std::move(value));
    }
    if (!hasTime || given.empty()) return false;
    std::stable_sort(parameters.begin(), parameters.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string query;
    for (const auto& [key, value] : parameters) {
        if (!query.empty()) query += '&';
        query += encodeForSignature(key) + "=" + encodeForSignature(value);
    }
    return md5Hex(query + mixingKeyOf(keys)) == given;
}

}  // namespace devsite

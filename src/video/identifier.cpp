#include "video/identifier.h"

#include <cstring>
#include <limits>

#include "net/text_helpers.h"

namespace quivra {
namespace {

constexpr char kAlphabet[] = "fZodR9XQDSUm21yCkr6zBqiveYah8bt4xsWpHnJE7jL5VG3guMTKNPAwcF";
constexpr std::int32_t kXor = 177451812;
constexpr std::int64_t kAddend = 8728348608LL;
constexpr int kDigitSlots[6] = {11, 10, 3, 8, 4, 6};
constexpr std::size_t kBvidLength = 12;

// The decimal digits at the start of text as a number; no digits give 0, and a number
// too large for 64 bits stays at the largest one.
std::int64_t leadingNumber(const std::string& text) {
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        int digit = c - '0';
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
            return std::numeric_limits<std::int64_t>::max();
        }
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

std::optional<std::string> extractBvid(const std::string& input) {
    size_t av = findLocal(input, "av");
    if (av != std::string::npos) return avToBvid(leadingNumber(input.substr(av + 2)));
    size_t bv = findLocal(input, "BV");
    if (bv == std::string::npos) return std::nullopt;
    return input.substr(bv, kBvidLength);
}

std::string avToBvid(std::int64_t av) {
    const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(av));
    const std::int32_t t = low ^ kXor;
    const auto x = static_cast<std::int64_t>(static_cast<double>(t) + static_cast<double>(kAddend));
    std::string bvid = "BV1  4 1 7  ";
    std::int64_t power = 1;
    for (int slot : kDigitSlots) {
        bvid[slot] = kAlphabet[(x / power) % 58];
        power *= 58;
    }
    return bvid;
}

std::optional<std::int64_t> bvidToAv(const std::string& bvid) {
    if (bvid.size() != kBvidLength) return std::nullopt;
    std::int64_t x = 0;
    std::int64_t power = 1;
    for (int slot : kDigitSlots) {
        const char* digit = bvid[slot] == '\0' ? nullptr : std::strchr(kAlphabet, bvid[slot]);
        if (!digit) return std::nullopt;
        x += (digit - kAlphabet) * power;
        power *= 58;
    }
    const std::int64_t av = static_cast<std::uint32_t>((x - kAddend) ^ kXor);
    // Only what avToBvid makes turns back: the fixed letters, and digits of a 32-bit number.
    if (avToBvid(av) != bvid) return std::nullopt;
    return av;
}

}  // namespace quivra

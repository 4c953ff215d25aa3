#include "app/cli/part_numbers.h"

#include <set>

namespace quivra {

namespace {

// More parts than a video can list (the window stops at 10,000 rows).
constexpr long kLargestPart = 100000;

// A number from 1 at text[at...], moving `at` past it.
std::optional<long> readNumber(const std::string& text, std::size_t& at) {
    long number = 0;
    const std::size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        number = number * 10 + (text[at] - '0');
        if (number > kLargestPart) return std::nullopt;
        ++at;
    }
    if (at == start || number < 1) return std::nullopt;
    return number;
}

}  // namespace

std::optional<std::vector<int>> parsePartNumbers(const std::string& text) {
    std::set<int> numbers;
    std::size_t at = 0;
    do {
        if (at > 0) ++at;  // the comma
        const std::optional<long> first = readNumber(text, at);
        if (!first) return std::nullopt;
        long last = *first;
        if (at < text.size() && text[at] == '-') {
            ++at;
            const std::optional<long> end = readNumber(text, at);
            if (!end || *end < *first) return std::nullopt;
            last = *end;
        }
        for (long n = *first; n <= last; ++n) numbers.insert(static_cast<int>(n));
    } while (at < text.size() && text[at] == ',');
    if (at != text.size()) return std::nullopt;
    return std::vector<int>(numbers.begin(), numbers.end());
}

}  // namespace quivra

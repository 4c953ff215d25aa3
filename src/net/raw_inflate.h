// Inflating a body sent as raw deflate (no zlib or gzip header), with a cap on what it may
// grow to: a small answer must not be able to fill the memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quivra {

struct Inflated {
    enum Outcome { Whole, NotDeflate, Cut, TooLarge } outcome = NotDeflate;
    std::string text;  // what was inflated; for Cut, what came before the end was missing
};

// Stops as soon as the inflated text would pass `cap` bytes (TooLarge, text emptied).
Inflated inflateRaw(std::string_view compressed, std::size_t cap);

}  // namespace quivra

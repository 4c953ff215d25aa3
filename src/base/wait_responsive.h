// A wait that keeps the calling thread's window events flowing: on the GUI thread a
// nested event loop ended by a timer, on any other thread a plain sleep.
#pragma once

#include <cstdint>
#include <optional>

namespace quivra {

// unit: 0 or absent ms, 1 s, 2 min, 3 h, any other value that many ms.
// Neither amount nor a non-zero unit given: 18,000,000 x 18,000,000 ms. Always true.
bool waitResponsive(std::optional<int> amount = std::nullopt,
                    std::optional<std::int64_t> unit = std::nullopt);

// The length of the wait in milliseconds, as waitResponsive computes it.
double waitLengthMs(std::optional<int> amount, std::optional<std::int64_t> unit);

}  // namespace quivra

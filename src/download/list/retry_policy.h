// How a download list tries a part again by itself after a failure a later try may mend:
// how many times, and how long it waits before each try.
#pragma once

#include <chrono>
#include <vector>

namespace quivra {

struct RetryPolicy {
    int tries = 5;  // automatic retries in a row; 0: a failure is final
    // The wait before the first, second, ... retry; the last one repeats.
    std::vector<std::chrono::milliseconds> delays = {
        std::chrono::seconds(5), std::chrono::seconds(15), std::chrono::seconds(45),
        std::chrono::minutes(2), std::chrono::minutes(5)};

    // retry counts from 1.
    std::chrono::milliseconds delayBefore(int retry) const;
};

}  // namespace quivra

#include "download/list/retry_policy.h"

#include <algorithm>

namespace quivra {

std::chrono::milliseconds RetryPolicy::delayBefore(int retry) const {
    if (delays.empty()) return std::chrono::milliseconds(0);
    const auto index = static_cast<std::size_t>(std::max(retry, 1) - 1);
    return delays[std::min(index, delays.size() - 1)];
}

}  // namespace quivra

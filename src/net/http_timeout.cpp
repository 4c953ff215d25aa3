#include "net/http_timeout.h"

namespace quivra {

std::optional<long> requestTimeoutMs(std::optional<int> timeoutSeconds) {
    const int seconds = timeoutSeconds.value_or(0);
    if (seconds == -1) return std::nullopt;
    if (seconds < 1) return 15000L;
    return static_cast<long>(seconds) * 1000L;
}

}  // namespace quivra

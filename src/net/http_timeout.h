// The timeout rule of httpRequest.
#pragma once

#include <optional>

namespace quivra {

// Milliseconds for each phase of a request: 15000 when not given or below 1, else
// seconds x 1000; nullopt for -1 (libcurl's own timeouts stay).
std::optional<long> requestTimeoutMs(std::optional<int> timeoutSeconds);

}  // namespace quivra

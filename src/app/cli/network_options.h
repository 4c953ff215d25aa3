// --proxy URL and --limit-rate RATE: the proxy and the speed limit for one run, in place
// of the stored ones (nothing is written to config.ini).
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace quivra {

struct NetworkOptions {
    std::string proxy;
    std::optional<std::int64_t> limitRate;  // bytes per second
};

// "2M", "500K", "300000": bytes per second with the suffixes K (1024) and M (1024 x 1024).
std::optional<std::int64_t> parseRate(const std::string& text);

void addNetworkOptions(CLI::App& app, NetworkOptions& options);
// Overrides the settings' rows these options name for this run.
void useNetworkOptions(const NetworkOptions& options);

}  // namespace quivra

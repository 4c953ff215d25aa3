#include "app/cli/network_options.h"

#include <cctype>
#include <string>
#include <vector>

#include "base/keep_settings.h"
#include "net/proxy_address.h"
#include "net/text_encoding.h"

namespace quivra {

std::optional<std::int64_t> parseRate(const std::string& text) {
    std::int64_t factor = 1;
    std::string digits = text;
    if (!digits.empty()) {
        const char suffix =
            static_cast<char>(std::toupper(static_cast<unsigned char>(digits.back())));
        if (suffix == 'K' || suffix == 'M') {
            factor = suffix == 'K' ? 1024 : 1024 * 1024;
            digits.pop_back();
        }
    }
    if (digits.empty() || digits.size() > 12) return std::nullopt;
    std::int64_t value = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value * factor;
}

void addNetworkOptions(CLI::App& app, NetworkOptions& options) {
    app.add_option("--proxy", options.proxy,
                   "HTTP proxy for this run, http://[USER:PASSWORD@]HOST:PORT, for every "
                   "request: the site's interface, login, search and the streams")
        ->type_name("URL")
        ->check(CLI::Validator(
            [](std::string& text) {
                // The reason is printed, never the address: it may hold a password.
                const std::string failure = parseProxyAddress(text).failure;
                return failure.empty() ? std::string() : localToUtf8(failure);
            },
            ""));
    app.add_option_function<std::string>(
           "--limit-rate",
           [&options](const std::string& text) { options.limitRate = parseRate(text); },
           "Download speed limit for this run, bytes per second over all parts, with K or M "
           "(2M); 0 for none")
        ->type_name("RATE")
        ->check(CLI::Validator(
            [](std::string& text) {
                return parseRate(text) ? std::string() : "not a rate like 2M or 500K: " + text;
            },
            ""));
}

void useNetworkOptions(const NetworkOptions& options) {
    std::vector<SettingChange> overrides;
    if (!options.proxy.empty()) {
        overrides.insert(overrides.end(), {{SettingKey::ProxyMode, ProxyMode::Address},
                                           {SettingKey::ProxyAddress, options.proxy},
                                           {SettingKey::ProxyUser, std::string()},
                                           {SettingKey::ProxyPassword, std::string()}});
    }
    if (options.limitRate) {
        // The run's own limit holds all the time, whatever the stored 限速时段 says.
        overrides.insert(overrides.end(), {{SettingKey::SpeedLimit, *options.limitRate},
                                           {SettingKey::SpeedLimitOn, true},
                                           {SettingKey::SpeedLimitWindowOn, false}});
    }
    overrideSettings(overrides);
}

}  // namespace quivra

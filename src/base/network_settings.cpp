#include "base/network_settings.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/config_file.h"
#include "base/shared_state.h"

namespace quivra {
namespace {

constexpr std::int64_t kBytesPerKilobyte = 1024;

const std::pair<ProxyMode, const char*> kProxyModeNames[] = {
    {ProxyMode::None, "none"}, {ProxyMode::System, "system"}, {ProxyMode::Address, "address"}};

const char* proxyModeName(ProxyMode mode) {
    for (const auto& [known, name] : kProxyModeNames) {
        if (known == mode) return name;
    }
    return "none";
}

// An unknown mode counts as none: a proxy is used only where one was clearly chosen.
ProxyMode proxyModeNamed(const std::string& text) {
    for (const auto& [mode, name] : kProxyModeNames) {
        if (text == name) return mode;
    }
    return ProxyMode::None;
}

}  // namespace

void loadSpeedLimit(const std::string& file, DownloadSettings& settings) {
    const int kilobytes = textToInteger(readConfigItem(file, "download", "speedLimit", "0"));
    settings.speedLimit = std::max(0, kilobytes) * kBytesPerKilobyte;
    settings.speedLimitOn = readConfigItem(file, "download", "speedLimitOn", "1") == "1";
}

ProxySetting loadProxySetting(const std::string& file) {
    ProxySetting proxy;
    proxy.mode = proxyModeNamed(readConfigItem(file, "download", "proxyMode"));
    proxy.address = readConfigItem(file, "download", "proxyAddress");
    proxy.user = readConfigItem(file, "download", "proxyUser");
    proxy.password = readConfigItem(file, "download", "proxyPassword");
    return proxy;
}

bool keepSpeedLimit(std::int64_t bytesPerSecond, bool on) {
    const std::int64_t limit = std::max<std::int64_t>(0, bytesPerSecond);
    SharedState& state = sharedState();
    state.download.update([&](DownloadSettings& settings) {
        settings.speedLimit = limit;
        settings.speedLimitOn = on;
    });
    return writeConfigItems(state.configPath, "download",
                            {{"speedLimit", std::to_string(limit / kBytesPerKilobyte)},
                             {"speedLimitOn", on ? "1" : "0"}});
}

bool keepProxySetting(const ProxySetting& proxy) {
    SharedState& state = sharedState();
    state.download.update([&](DownloadSettings& settings) { settings.proxy = proxy; });
    return writeConfigItems(state.configPath, "download",
                            {{"proxyMode", proxyModeName(proxy.mode)},
                             {"proxyAddress", proxy.address},
                             {"proxyUser", proxy.user},
                             {"proxyPassword", proxy.password}});
}

std::int64_t effectiveSpeedLimit(const DownloadSettings& settings) {
    return settings.speedLimitOn ? settings.speedLimit : 0;
}

}  // namespace quivra

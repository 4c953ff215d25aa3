// The speed limit and the proxy: their [download] keys in config.ini and keeping a change
// in the shared record and the file at once.
#pragma once

#include <cstdint>
#include <string>

#include "base/records.h"

namespace quivra {

// speedLimit (KB/s) and speedLimitOn into the record's bytes per second and switch.
void loadSpeedLimit(const std::string& file, DownloadSettings& settings);
// proxyMode ("none", "system", "address"), proxyAddress, proxyUser, proxyPassword.
ProxySetting loadProxySetting(const std::string& file);

// Each sets the shared download settings and writes its keys in one replacement of
// config.ini (which stays 0600: it holds the proxy password as it holds the cookie).
bool keepSpeedLimit(std::int64_t bytesPerSecond, bool on);
bool keepProxySetting(const ProxySetting& proxy);

// The limit in force: none while the switch is off.
std::int64_t effectiveSpeedLimit(const DownloadSettings& settings);

}  // namespace quivra

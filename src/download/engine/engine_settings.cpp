#include "download/engine/engine_settings.h"

#include "base/network_settings.h"
#include "base/proxy_route.h"

namespace quivra {

void followDownloadSettings(DownloadEngine& engine, const DownloadSettings& settings) {
    engine.setSpeedLimit(effectiveSpeedLimit(settings));
    engine.setProxy(proxyRoute(settings.proxy, systemProxyEnvironment()));
}

}  // namespace quivra

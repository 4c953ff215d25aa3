#include "download/engine/engine_settings.h"

#include "base/proxy_route.h"

namespace quivra {

void followDownloadSettings(DownloadEngine& engine, const DownloadSettings& settings) {
    SettingEffects all;
    all.add(SettingEffect::EngineProxy);
    followDownloadSettings(engine, settings, all);
}

void followDownloadSettings(DownloadEngine& engine, const DownloadSettings& settings,
                            SettingEffects effects) {
    if (effects.has(SettingEffect::EngineProxy)) {
        engine.setProxy(proxyRoute(settings.proxy, systemProxyEnvironment()));
    }
}

}  // namespace quivra

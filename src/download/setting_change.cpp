#include "download/setting_change.h"

#include <utility>

#include "download/engine/engine_settings.h"

namespace quivra {

void followSettingChange(DownloadEngine& engine, DownloadQueue& queue,
                         const DownloadSettings& settings, SettingEffects effects) {
    followDownloadSettings(engine, settings, effects);
    if (effects.has(SettingEffect::ListRetries)) {
        RetryPolicy policy = queue.retryPolicy();
        policy.tries = settings.retries;
        queue.setRetryPolicy(std::move(policy));
    }
}

}  // namespace quivra

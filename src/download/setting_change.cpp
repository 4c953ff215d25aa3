#include "download/setting_change.h"

#include <utility>

#include "download/download_core.h"
#include "download/download_schedule.h"
#include "download/engine/engine_settings.h"
#include "download/list/download_queue.h"

namespace quivra {

void followSettingChange(DownloadCore& core, SettingEffects effects) {
    const DownloadSettings settings = core.settings.get();
    followDownloadSettings(core.engine, settings, effects);
    if (effects.has(SettingEffect::ListRetries)) {
        RetryPolicy policy = core.queue->retryPolicy();
        policy.tries = settings.retries;
        core.queue->setRetryPolicy(std::move(policy));
    }
    if (effects.has(SettingEffect::EngineSpeedLimit) || effects.has(SettingEffect::ListWindow)) {
        core.schedule->follow(settings);
    }
}

}  // namespace quivra

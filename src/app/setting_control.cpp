#include "app/setting_control.h"

#include "base/keep_settings.h"
#include "base/shared_state.h"
#include "download/engine/download_engine.h"
#include "download/list/download_queue.h"
#include "download/setting_change.h"

namespace quivra {

std::string settingControlName(const char* prefix, SettingKey key) {
    return std::string(prefix) + settingRow(key).key;
}

void keepAndFollow(std::initializer_list<SettingChange> changes) {
    const SettingEffects effects = keepSettings(changes);
    followSettingChange(downloadEngine(), *currentDownloadQueue(), sharedState().download.get(),
                        effects);
}

}  // namespace quivra

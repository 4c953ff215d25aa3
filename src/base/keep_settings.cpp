#include "base/keep_settings.h"

#include <vector>

#include "base/config_file.h"
#include "base/shared_state.h"

namespace quivra {

SettingEffects keepSettings(std::span<const SettingChange> changes) {
    SharedState& state = sharedState();
    SettingEffects effects;
    const DownloadSettings kept = state.download.update([&](DownloadSettings& settings) {
        effects = applySettingChanges(settings, changes);
        return settings;
    });
    std::vector<SettingKey> keys;
    for (const SettingChange& change : changes) keys.push_back(change.key);
    writeSettings(state.configPath, keys, kept);
    return effects;
}

void overrideSettings(std::span<const SettingChange> changes) {
    sharedState().download.update(
        [&](DownloadSettings& settings) { applySettingChanges(settings, changes); });
}

}  // namespace quivra

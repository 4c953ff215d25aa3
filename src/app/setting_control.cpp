#include "app/setting_control.h"

#include "base/keep_settings.h"
#include "download/download_core.h"
#include "download/list/download_queue.h"
#include "download/setting_change.h"

namespace quivra {

std::string settingControlName(const char* prefix, SettingKey key) {
    return std::string(prefix) + settingRow(key).key;
}

QString settingObjectName(const char* prefix, SettingKey key) {
    return QString::fromStdString(settingControlName(prefix, key));
}

void keepAndFollow(DownloadCore& core, std::initializer_list<SettingChange> changes) {
    const SettingEffects effects = keepSettings(changes);
    followSettingChange(core, effects);
}

}  // namespace quivra

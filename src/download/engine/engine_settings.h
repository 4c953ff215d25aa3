// The engine follows the download settings' proxy. The speed limit in force changes with
// the time of day: the schedule gives it (download/download_schedule.h).
#pragma once

#include "base/records.h"
#include "base/settings_table.h"
#include "download/engine/download_engine.h"

namespace quivra {

// Called once the engine runs: every setting the engine follows.
void followDownloadSettings(DownloadEngine& engine, const DownloadSettings& settings);
// After a change: the settings whose effects are given.
void followDownloadSettings(DownloadEngine& engine, const DownloadSettings& settings,
                            SettingEffects effects);

}  // namespace quivra

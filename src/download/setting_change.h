// What a kept change of the download settings does at once to the running engine and the
// download list.
#pragma once

#include "base/records.h"
#include "base/settings_table.h"
#include "download/engine/download_engine.h"
#include "download/list/download_queue.h"

namespace quivra {

// settings: the record as kept; effects: what keepSettings returned. The thread number has
// none: the running pool keeps its count until the next start.
void followSettingChange(DownloadEngine& engine, DownloadQueue& queue,
                         const DownloadSettings& settings, SettingEffects effects);

}  // namespace quivra

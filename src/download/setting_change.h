// What a kept change of the download settings does at once to the running engine, the
// download list and their schedule.
#pragma once

#include "base/settings_table.h"

namespace quivra {

struct DownloadCore;

// effects: what keepSettings returned; the core's settings record holds the change. The
// thread number has none: the running pool keeps its count until the next start.
void followSettingChange(DownloadCore& core, SettingEffects effects);

}  // namespace quivra

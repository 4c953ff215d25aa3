// The engine follows the download settings: the speed limit in force and the proxy.
#pragma once

#include "base/records.h"
#include "download/engine/download_engine.h"

namespace quivra {

// Called once the engine runs and after every change of either setting.
void followDownloadSettings(DownloadEngine& engine, const DownloadSettings& settings);

}  // namespace quivra

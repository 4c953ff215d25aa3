// The state every part of the program shares, one instance for the whole run.
#pragma once

#include <string>

#include "base/guarded.h"
#include "base/records.h"
#include "base/settings_table.h"

namespace quivra {

struct SharedState {
    std::string programDirectory;  // UTF-8 file-system path, no trailing '/'
    std::string dataFolder;        // holds config.ini and the download store (locateUserFiles)
    std::string configPath;        // dataFolder + "/config.ini"
    SiteAddresses site = defaultSiteAddresses();  // from the optional [site] section; never written

    Guarded<UserRecord> user{defaultUserRecord()};
    Guarded<DownloadSettings> download{defaultDownloadSettings()};
    Guarded<VideoRecord> video;
    Guarded<QualityList> qualities;
};

SharedState& sharedState();

// The folder of the running executable (from /proc/self/exe), without a trailing '/'.
std::string executableDirectory();

// Points the shared state at a program directory: sets programDirectory, decides where
// config.ini lives (locateUserFiles), then loads the user record, the download settings
// and the site addresses from it. Called once at start; tests call it with a folder of
// their own (writable, so config.ini is looked for in it).
void loadSharedState(const std::string& programDirectory);

}  // namespace quivra

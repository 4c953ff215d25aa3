#include "base/shared_state.h"

#include <filesystem>
#include <system_error>

#include "base/config_file.h"
#include "base/file_location.h"
#include "base/private_file.h"

namespace quivra {

SharedState& sharedState() {
    // Never destroyed: workers that outlive main may still read it while the process ends.
    static SharedState* state = new SharedState;
    return *state;
}

std::string executableDirectory() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !exe.has_parent_path()) return ".";
    std::string folder = exe.parent_path().string();
    return folder.empty() ? "/" : folder;
}

void loadSharedState(const std::string& programDirectory) {
    std::string folder = programDirectory;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const FileLocation files = locateUserFiles(folder);
    SharedState& state = sharedState();
    state.programDirectory = folder;
    state.dataFolder = files.folder;
    state.configPath = (files.folder == "/" ? "" : files.folder) + "/config.ini";
    // The file holds the login cookie: an older, looser copy is closed to others at once.
    makeFilePrivate(state.configPath);
    state.user.set(loadUserRecord(state.configPath));
    state.download.set(loadDownloadSettings(state.configPath, files.downloadFolder));
    state.site = loadSiteAddresses(state.configPath);
}

}  // namespace quivra

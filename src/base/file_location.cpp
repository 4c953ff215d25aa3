#include "base/file_location.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStandardPaths>

#include <cstdlib>
#include <filesystem>

namespace quivra {
namespace {

// folder + "/" + name, for the root folder too.
std::string inFolder(const std::string& folder, const std::string& name) {
    return (folder == "/" ? "" : folder) + "/" + name;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool isPortable(const std::string& programDirectory) {
    if (exists(inFolder(programDirectory, "config.ini")) ||
        exists(inFolder(programDirectory, "portable"))) {
        return true;
    }
    if (programDirectory == "/usr" || programDirectory.starts_with("/usr/")) return false;
    return ::access(programDirectory.c_str(), W_OK) == 0;
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

std::string configHome() {
    const char* configured = std::getenv("XDG_CONFIG_HOME");
    if (configured != nullptr && configured[0] == '/') return configured;
    return homeFolder() + "/.config";
}

// Makes the folder and its missing parents with mode 0700, as the folders of a user's
// configuration are made. A folder that exists keeps its mode.
void makePrivateFolders(const std::filesystem::path& folder) {
    std::filesystem::path made;
    for (const auto& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) == 0) ::chmod(made.c_str(), 0700);
    }
}

std::string withoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace

FileLocation locateUserFiles(const std::string& programDirectory) {
    FileLocation location;
    if (isPortable(programDirectory)) {
        location.folder = programDirectory;
        location.downloadFolder = inFolder(programDirectory, "download");
        location.portable = true;
        return location;
    }
    location.folder = withoutTrailingSlash(configHome()) + "/quivra-downloader";
    makePrivateFolders(location.folder);
    std::string downloads =
        QStandardPaths::writableLocation(QStandardPaths::DownloadLocation).toStdString();
    if (downloads.empty()) downloads = homeFolder() + "/Downloads";
    location.downloadFolder = withoutTrailingSlash(downloads) + "/Quivra";
    return location;
}

}  // namespace quivra

#include "download/job/merge_command.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "download/job/command_runner.h"
#include "download/job/media_probe.h"

namespace quivra {

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

namespace {

// "file:" keeps ffmpeg from reading a name as an option ("-...") or another protocol.
std::string fileArgument(const std::string& path) {
    return shellQuote("file:" + path);
}

// Whether the folder's file system has room for at least both streams. A size or a
// file system that cannot be read counts as no room.
bool hasRoomForStreams(const std::filesystem::path& folder, const std::string& videoPath,
                       const std::string& audioPath) {
    std::error_code error;
    const std::uintmax_t video = std::filesystem::file_size(videoPath, error);
    if (error) return false;
    const std::uintmax_t audio = std::filesystem::file_size(audioPath, error);
    if (error) return false;
    struct statvfs disk {};
    if (statvfs(folder.c_str(), &disk) != 0) return false;
    return static_cast<std::uintmax_t>(disk.f_bavail) * disk.f_frsize >= video + audio;
}

// Writes what the system still holds of the file (or folder) to the disk; false when
// that fails, as it may when the disk filled after the last write.
bool syncToDisk(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    return close(fd) == 0 && synced;
}

}  // namespace

std::string mergeCommandLine(const std::string& videoPath, const std::string& audioPath,
                             const std::string& targetPath, const MergeExtras& extras) {
    std::string line = "ffmpeg -xerror -y -loglevel error -i " + fileArgument(videoPath) + " -i " +
                       fileArgument(audioPath);
    if (!extras.coverPath.empty()) {
        // With a third input ffmpeg's own choice of streams could take the picture for
        // the video: every stream is named.
        line += " -i " + fileArgument(extras.coverPath) + " -map 0:v:0 -map 1:a:0 -map 2:v:0";
    }
    line += " -vcodec copy -acodec copy";
    if (!extras.coverPath.empty()) line += " -disposition:v:1 attached_pic";
    for (const MetadataTag& tag : extras.tags) {
        line += " -metadata " + shellQuote(tag.key + "=" + tag.value);
    }
    return line + " -f mp4 " + fileArgument(targetPath);
}

bool mergeStreams(const std::string& videoPath, const std::string& audioPath,
                  const std::string& outputPath, const MergeExtras& extras) {
    namespace fs = std::filesystem;
    const std::string partPath = outputPath + kPartSuffix;
    const fs::path part(partPath);
    fs::path folder = fs::path(outputPath).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code error;
    fs::remove(part, error);
    if (!hasRoomForStreams(folder, videoPath, audioPath)) return false;

    int status = -1;
    runCommand(mergeCommandLine(videoPath, audioPath, partPath, extras), nullptr, &status);

    const bool whole = status == 0 && fs::is_regular_file(part, error) &&
                       syncToDisk(partPath, O_RDONLY) &&
                       isWholeMerge(partPath, videoPath, audioPath);
    if (whole) {
        fs::rename(part, fs::path(outputPath), error);
        if (!error) {
            syncToDisk(folder.string(), O_RDONLY | O_DIRECTORY);  // the new name too
            return true;
        }
    }
    fs::remove(part, error);
    return false;
}

}  // namespace quivra

#include "download/merge_command.h"

#include <filesystem>
#include <system_error>

#include "download/command_runner.h"

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

}  // namespace

std::string mergeCommandLine(const std::string& videoPath, const std::string& audioPath,
                             const std::string& targetPath) {
    return "ffmpeg -y -loglevel error -i " + fileArgument(videoPath) + " -i " +
           fileArgument(audioPath) + " -vcodec copy -acodec copy -f mp4 " +
           fileArgument(targetPath);
}

bool mergeStreams(const std::string& videoPath, const std::string& audioPath,
                  const std::string& outputPath) {
    namespace fs = std::filesystem;
    const std::string partPath = outputPath + ".part";
    std::error_code error;
    fs::remove(fs::path(partPath), error);

    int status = -1;
    runCommand(mergeCommandLine(videoPath, audioPath, partPath), nullptr, &status);

    const fs::path part(partPath);
    const bool written =
        fs::is_regular_file(part, error) && fs::file_size(part, error) > 0 && !error;
    if (status == 0 && written) {
        fs::rename(part, fs::path(outputPath), error);
        if (!error) return true;
    }
    fs::remove(part, error);
    return false;
}

}  // namespace quivra

#include "download/job/merge_command.h"

#include <fcntl.h>
#include <stdio.h>
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

// Whether the folder's file system has room for at least the streams (an empty path: no
// stream). A size or a file system that cannot be read counts as no room.
bool hasRoomForStreams(const std::filesystem::path& folder, const std::string& videoPath,
                       const std::string& audioPath) {
    std::uintmax_t bytes = 0;
    for (const std::string* path : {&videoPath, &audioPath}) {
        if (path->empty()) continue;
        std::error_code error;
        bytes += std::filesystem::file_size(*path, error);
        if (error) return false;
    }
    struct statvfs disk {};
    if (statvfs(folder.c_str(), &disk) != 0) return false;
    return static_cast<std::uintmax_t>(disk.f_bavail) * disk.f_frsize >= bytes;
}

// Writes what the system still holds of the file (or folder) to the disk; false when
// that fails, as it may when the disk filled after the last write.
bool syncToDisk(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    return close(fd) == 0 && synced;
}

const char* muxerOf(OutputFormat format) {
    switch (format) {
        case OutputFormat::Mkv:
            return "matroska";
        case OutputFormat::Flac:
            return "flac";
        case OutputFormat::Mp4:
        case OutputFormat::M4a:
            break;
    }
    return "mp4";
}

// The merged file takes its name only where no finished file is: another part whose name
// a template made the same, or a file of the user's, is never replaced. An empty file
// there is no download and gives way.
bool renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    const int failure = errno;
    std::error_code error;
    const bool taken = failure == EEXIST || std::filesystem::exists(to, error);
    if (taken && std::filesystem::file_size(to, error) > 0) return false;
    // Empty, or a file system without RENAME_NOREPLACE: nothing finished is there.
    std::filesystem::rename(from, to, error);
    return !error;
}

// Only Matroska keeps ASS as it is.
bool carriesDanmakuTrack(const MergeExtras& extras, OutputFormat format) {
    return format == OutputFormat::Mkv && !extras.danmakuPath.empty();
}

// What the merge must hold besides its streams.
MergeCarries carried(const MergeExtras& extras, OutputFormat format) {
    if (!carriesTextTracks(format)) return {};
    const bool danmaku = carriesDanmakuTrack(extras, format);
    return {static_cast<int>(extras.subtitles.size()) + (danmaku ? 1 : 0),
            !extras.chaptersPath.empty(), danmaku};
}

}  // namespace

bool carriesTextTracks(OutputFormat format) {
    return format == OutputFormat::Mp4 || format == OutputFormat::Mkv;
}

std::string mergeCommandLine(const std::string& videoPath, const std::string& audioPath,
                             const std::string& targetPath, const MergeExtras& extras,
                             OutputFormat format) {
    std::string line = "ffmpeg -xerror -y -loglevel error";
    std::string maps;
    int inputs = 0;
    const auto input = [&](const std::string& path, const char* stream) {
        line += " -i " + fileArgument(path);
        maps += " -map " + std::to_string(inputs++) + stream;
    };
    if (!videoPath.empty()) input(videoPath, ":v:0");
    if (!audioPath.empty()) input(audioPath, ":a:0");
    const bool cover = !extras.coverPath.empty();
    // Matroska keeps a picture stream as one more video track: the cover is an attachment.
    const bool attached = cover && format == OutputFormat::Mkv;
    const bool picture = cover && !attached;
    const bool textTracks = carriesTextTracks(format);
    const std::vector<SubtitleInput> subtitles =
        textTracks ? extras.subtitles : std::vector<SubtitleInput>{};
    const bool chapters = textTracks && !extras.chaptersPath.empty();
    // With more inputs than the streams ffmpeg's own choice of streams could take the
    // picture for the video, or only one subtitle: every stream is named.
    if (picture) input(extras.coverPath, ":v:0");
    for (const SubtitleInput& subtitle : subtitles) input(subtitle.path, ":s:0");
    const bool danmaku = carriesDanmakuTrack(extras, format);
    if (danmaku) input(extras.danmakuPath, ":s:0");
    const int chapterInput = inputs;
    if (chapters) line += " -i " + fileArgument(extras.chaptersPath);
    if (picture || !subtitles.empty() || danmaku || chapters) line += maps;
    if (chapters) line += " -map_chapters " + std::to_string(chapterInput);
    if (attached) line += " -attach " + fileArgument(extras.coverPath);
    if (!videoPath.empty() || picture) line += " -vcodec copy";
    if (!audioPath.empty()) line += " -acodec copy";
    if (!subtitles.empty())
        line += format == OutputFormat::Mkv ? " -scodec subrip" : " -scodec mov_text";
    if (picture) {
        line += std::string(" -disposition:v:") + (videoPath.empty() ? "0" : "1") + " attached_pic";
    }
    if (attached) line += " -metadata:s:t mimetype=image/jpeg -metadata:s:t filename=cover.jpg";
    // MP4 keeps a track's name as its handler's name; Matroska as its title.
    const std::string nameKey = format == OutputFormat::Mkv ? "title=" : "handler_name=";
    for (std::size_t i = 0; i < subtitles.size(); ++i) {
        const std::string stream = " -metadata:s:s:" + std::to_string(i) + " ";
        line += stream + shellQuote("language=" + subtitles[i].language);
        line += stream + shellQuote(nameKey + subtitles[i].title);
    }
    if (danmaku) {
        // After -scodec: the later, narrower choice is the one this track takes.
        const std::string index = std::to_string(subtitles.size());
        const std::string metadata = " -metadata:s:s:" + index + " ";
        line += " -c:s:" + index + " copy" + metadata + "language=chi" + metadata +
                shellQuote(nameKey + "弹幕");
    }
    for (const MetadataTag& tag : extras.tags) {
        line += " -metadata " + shellQuote(tag.key + "=" + tag.value);
    }
    return line + " -f " + muxerOf(format) + " " + fileArgument(targetPath);
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
    const OutputFormat format = outputFormatOfPath(outputPath).value_or(OutputFormat::Mp4);
    runCommand(mergeCommandLine(videoPath, audioPath, partPath, extras, format), nullptr, &status);

    const bool whole = status == 0 && fs::is_regular_file(part, error) &&
                       syncToDisk(partPath, O_RDONLY) &&
                       isWholeMerge(partPath, videoPath, audioPath, carried(extras, format));
    if (whole && renameWithoutReplacing(partPath, outputPath)) {
        syncToDisk(folder.string(), O_RDONLY | O_DIRECTORY);  // the new name too
        return true;
    }
    fs::remove(part, error);
    return false;
}

}  // namespace quivra

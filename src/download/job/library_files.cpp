#include "download/job/library_files.h"

#include <filesystem>
#include <system_error>

#include "download/job/library_nfo.h"
#include "download/job/video_cover.h"
#include "download/job/whole_file.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

bool isThere(const std::string& utf8Path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(utf8Path), error);
}

// Written only where nothing is: true too when a file is there already.
bool writeNew(const std::string& utf8Path, const std::string& xml) {
    return isThere(utf8Path) || saveWholeFile(xml, utf8Path);
}

// The cover's name when the job saved it beside the part (a merge may have dropped it).
std::string thumbOf(const DownloadRequest& part) {
    if (part.coverAddress.empty()) return {};
    const std::string cover = localToUtf8(coverPath(part));
    return isThere(cover) ? cover.substr(cover.rfind('/') + 1) : "";
}

// The part's file with .nfo in place of its extension (local text).
std::string partNfoPath(const DownloadRequest& part) {
    const std::string& path = part.outputPath;
    const std::size_t dot = path.rfind('.');
    const bool extension = dot != std::string::npos && dot > path.rfind('/');
    return (extension ? path.substr(0, dot) : path) + ".nfo";
}

}  // namespace

bool writeLibraryFiles(const DownloadRequest& part) {
    const VideoTags tags = part.tags.value_or(VideoTags{});
    LibraryEntry video;
    video.title = localToUtf8(tags.videoTitle);
    video.plot = localToUtf8(tags.description);
    video.premiered = localToUtf8(tags.date);
    video.studio = localToUtf8(tags.author);
    video.thumb = thumbOf(part);
    const std::string nfo = localToUtf8(partNfoPath(part));
    if (part.episodeId.empty()) {
        // A part of several is named by its own title, as its tags name it.
        if (tags.parts > 1) video.title = localToUtf8(part.pageTitle);
        video.uniqueId = part.bvid;
        return writeNew(nfo, movieNfo(video));
    }
    // The texts are the season's: the episode keeps its title, number and id alone.
    LibraryEntry episode;
    episode.title = localToUtf8(part.pageTitle);
    episode.studio = video.studio;
    episode.uniqueId = "ep" + part.episodeId;
    episode.episode = part.pageNumber;
    // A part listed before the season's id was kept: the title stands for it.
    video.uniqueId = part.seasonId.empty() ? video.title : "ss" + part.seasonId;
    const bool wrote = writeNew(nfo, episodeNfo(episode));
    const std::string folder = nfo.substr(0, nfo.rfind('/'));
    return writeNew(folder + "/tvshow.nfo", tvshowNfo(video)) && wrote;
}

}  // namespace quivra

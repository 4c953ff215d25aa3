#include "download/part_binding.h"

#include <algorithm>

#include "base/config_file.h"
#include "base/shared_state.h"
#include "download/download_files.h"
#include "download/part_names.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

// The quality as the list of qualities offers it ("720P 高清").
std::string qualityName(int quality) {
    for (const QualityEntry& entry : sharedState().qualities.get().entries) {
        if (textToInteger(entry.quality) == quality) return entry.newDescription;
    }
    return {};
}

}  // namespace

DownloadRequest bindPart(const VideoRecord& video, const PartChoice& choice, int row,
                         const std::string& pageTitle, const std::string& cid) {
    DownloadRequest part;
    part.bvid = video.bvid;
    part.videoTitle = video.title;
    part.siteTitle = video.siteTitle;
    part.cid = cid;
    part.pageTitle = pageTitle;
    part.pageNumber = row + 1;
    part.videoQuality = choice.videoQuality;
    part.audioQuality = choice.audioQuality;
    part.qualityName = qualityName(choice.videoQuality);
    part.directory = choice.directory;
    part.outputPath =
        outputFilePath(choice.directory, videoFolderName(video.title, video.bvid), row, pageTitle);
    return part;
}

std::vector<DownloadRequest> bindVideoParts(const VideoRecord& video, const PartChoice& choice) {
    std::vector<DownloadRequest> parts;
    parts.reserve(video.pages.size());
    for (const PageEntry& page : video.pages) {
        parts.push_back(
            bindPart(video, choice, static_cast<int>(parts.size()), page.part, page.cid));
    }
    return parts;
}

std::string makeVideoFolders(const std::string& directory, const VideoRecord& video) {
    if (!ensureFolder(directory + "/" + videoFolderName(video.title, video.bvid))) {
        return localText("目录创建失败！");
    }
    if (!ensureFolder(directory + "/temp")) return localText("临时目录创建失败！");
    return {};
}

bool isQualityAvailable(const QualityList& qualities, int quality) {
    const int count = std::min<int>(qualities.count, static_cast<int>(qualities.entries.size()));
    for (int i = 0; i < count; ++i) {
        if (textToInteger(qualities.entries[i].quality) == quality) {
            return qualities.entries[i].available;
        }
    }
    return false;
}

std::string memberQualityMessage() {
    return localText("这个质量需要大会员才可以下载哦，您还不是大会员或还没有登录哟，请先登录~");
}

}  // namespace quivra

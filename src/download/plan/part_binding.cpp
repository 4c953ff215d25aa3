#include "download/plan/part_binding.h"

#include <algorithm>

#include "base/config_file.h"
#include "download/plan/download_files.h"
#include "download/plan/part_names.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

// The quality as the list of qualities offers it ("720P 高清").
std::string qualityName(const QualityList& qualities, int quality) {
    for (const QualityEntry& entry : qualities.entries) {
        if (textToInteger(entry.quality) == quality) return entry.newDescription;
    }
    return {};
}

// The date of the publication text ("2021-08-27 01:46:40" gives 2021-08-27).
std::string publicationDay(const std::string& pubdate) {
    return pubdate.substr(0, pubdate.find(' '));
}

VideoTags videoTags(const VideoRecord& video, int parts) {
    VideoTags tags;
    tags.videoTitle = video.siteTitle;
    tags.author = video.owner.name;
    tags.date = publicationDay(video.stat.pubdate);
    tags.pageAddress = utf8ToLocalText(sharedState().site.main) + "/video/" + video.bvid;
    tags.description = video.desc;
    tags.parts = std::max(1, parts);
    return tags;
}

}  // namespace

DownloadRequest bindPart(const ParseResult& parsed, const PartChoice& choice, int row) {
    const VideoRecord& video = parsed.video;
    const PageEntry& page = parsed.rows.at(static_cast<size_t>(row));
    DownloadRequest part;
    part.bvid = video.bvid;
    part.videoTitle = video.title;
    part.siteTitle = video.siteTitle;
    part.cid = page.cid;
    part.pageTitle = page.part;
    part.pageNumber = row + 1;
    part.videoQuality = choice.videoQuality;
    part.audioQuality = choice.audioQuality;
    part.qualityName = qualityName(parsed.qualities, choice.videoQuality);
    part.directory = choice.directory;
    part.outputPath =
        outputFilePath(choice.directory, videoFolderName(video.title, video.bvid), row, page.part);
    if (choice.tags) part.tags = videoTags(video, static_cast<int>(parsed.rows.size()));
    if (choice.cover) part.coverAddress = video.pic;
    return part;
}

std::vector<DownloadRequest> bindVideoParts(const ParseResult& parsed, const PartChoice& choice) {
    std::vector<DownloadRequest> parts;
    parts.reserve(parsed.rows.size());
    for (size_t row = 0; row < parsed.rows.size(); ++row) {
        parts.push_back(bindPart(parsed, choice, static_cast<int>(row)));
    }
    return parts;
}

int rowOfPart(const ParseResult& parsed, const DownloadRequest& part) {
    const int row = part.pageNumber - 1;
    if (row < 0 || row >= static_cast<int>(parsed.rows.size())) return -1;
    const bool same = part.bvid == parsed.video.bvid && part.cid == parsed.rows[row].cid;
    return same ? row : -1;
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

#include "download/plan/download_plan.h"

#include <algorithm>

#include "base/config_file.h"
#include "download/plan/default_quality.h"
#include "download/plan/download_files.h"
#include "download/plan/output_format.h"
#include "download/plan/part_names.h"
#include "net/text_encoding.h"
#include "video/audio_choices.h"

namespace quivra {

namespace {

struct PartChoice {
    std::string directory;  // local text
    int videoQuality = -1;
    int audioQuality = -1;
    bool tags = true;
    bool cover = true;
    std::string siteMain;  // the site's main page (local text): the tags name pages under it
    std::vector<VideoCodec> codecs;
    DownloadContent content = DownloadContent::AudioVideo;
    std::string container;  // "mp4" or "mkv"
};

// The quality as the list of qualities offers it ("720P 高清").
std::string offeredQualityName(const QualityList& qualities, int quality) {
    for (const QualityEntry& entry : qualities.entries) {
        if (textToInteger(entry.quality) == quality) return entry.newDescription;
    }
    return {};
}

// The lossless or Dolby stream only where the parse found it offered (or marked for
// members), else 高: a default of 无损 takes it where there is one.
int offeredAudio(const QualityList& qualities, int audio) {
    const std::vector<int>& offered = qualities.audioIds;
    if (!isSpecialAudioStream(audio) || std::ranges::find(offered, audio) != offered.end())
        return audio;
    return kAudioChoices.front().streamId;
}

// The date of the publication text ("2021-08-27 01:46:40" gives 2021-08-27).
std::string publicationDay(const std::string& pubdate) {
    return pubdate.substr(0, pubdate.find(' '));
}

// The page the tags name: the video's, or the episode's for an episode of a season.
std::string pageAddressOf(const std::string& siteMain, const VideoRecord& video,
                          const PageEntry& page) {
    if (!page.episodeId.empty()) return siteMain + "/bangumi/play/ep" + page.episodeId;
    return siteMain + "/video/" + video.bvid;
}

VideoTags videoTags(const VideoRecord& video, int parts, const std::string& pageAddress) {
    VideoTags tags;
    tags.videoTitle = video.siteTitle;
    tags.author = video.owner.name;
    tags.date = publicationDay(video.stat.pubdate);
    tags.pageAddress = pageAddress;
    tags.description = video.desc;
    tags.parts = std::max(1, parts);
    return tags;
}

DownloadRequest bindPart(const ParseResult& parsed, const PartChoice& choice, int row) {
    const VideoRecord& video = parsed.video;
    const PageEntry& page = parsed.rows.at(static_cast<size_t>(row));
    DownloadRequest part;
    part.bvid = video.bvid;
    part.videoTitle = video.title;
    part.siteTitle = video.siteTitle;
    part.episodeId = page.episodeId;
    part.cid = page.cid;
    part.pageTitle = page.part;
    part.pageNumber = row + 1;
    part.videoQuality = choice.videoQuality;
    part.audioQuality = choice.audioQuality;
    part.qualityName = offeredQualityName(parsed.qualities, choice.videoQuality);
    part.codecs = choice.codecs;
    part.directory = choice.directory;
    part.content = choice.content;
    part.outputPath = outputFilePath(
        choice.directory, videoFolderName(video.title, video.bvid), row, page.part,
        outputExtension(chooseOutputFormat(choice.content, choice.container, choice.audioQuality)));
    if (choice.tags) {
        part.tags = videoTags(video, static_cast<int>(parsed.rows.size()),
                              pageAddressOf(choice.siteMain, video, page));
    }
    if (choice.cover) part.coverAddress = video.pic;
    return part;
}

// <directory>/<video folder> and <directory>/temp; "" or the buttons' message.
std::string makeVideoFolders(const std::string& directory, const VideoRecord& video) {
    if (!ensureFolder(directory + "/" + videoFolderName(video.title, video.bvid))) {
        return localText("目录创建失败！");
    }
    if (!ensureFolder(directory + "/temp")) return localText("临时目录创建失败！");
    return {};
}

std::vector<int> chosenRows(const ParseResult& parsed, const PartSelection& selection) {
    const int count = static_cast<int>(parsed.rows.size());
    std::vector<int> rows;
    if (!selection.rows) {
        for (int row = 0; row < count; ++row) rows.push_back(row);
        return rows;
    }
    for (int row : *selection.rows) {
        if (row >= 0 && row < count) rows.push_back(row);
    }
    return rows;
}

}  // namespace

DownloadPlan planDownloads(const ParseResult& parsed, const PartSelection& selection,
                           const DownloadSettings& settings, const std::string& siteAddress) {
    DownloadPlan plan;
    if (parsed.rows.empty()) {
        plan.refusal = localText("请先解析视频！");
        return plan;
    }
    PartChoice choice{settings.directory, -1, -1, settings.writeTags, settings.saveCover,
                      utf8ToLocalText(siteAddress),
                      // A broken setting takes what a download always took.
                      parseCodecOrder(settings.videoCodecs).value_or(defaultCodecOrder()),
                      downloadContentOf(settings.downloadContent), settings.container};
    if (selection.videoQuality) {
        choice.videoQuality = *selection.videoQuality;
        if (choice.videoQuality < 0) plan.refusal = localText("请选择视频清晰度！");
    } else {
        const DefaultChoice quality = chooseDefaultQualities(parsed.qualities, settings);
        choice.videoQuality = quality.videoQuality;
        plan.refusal = quality.refusal;
    }
    if (plan.refusal.empty()) plan.refusal = makeVideoFolders(settings.directory, parsed.video);
    if (!plan.refusal.empty()) return plan;
    choice.audioQuality = offeredAudio(
        parsed.qualities, selection.audioQuality.value_or(defaultAudioStream(settings)));

    for (int row : chosenRows(parsed, selection)) {
        DownloadRequest part = bindPart(parsed, choice, row);
        (isFinishedOutput(part.outputPath) ? plan.done : plan.requests).push_back(std::move(part));
    }
    return plan;
}

}  // namespace quivra

#include "download/plan/download_plan.h"

#include <algorithm>
#include <map>
#include <set>

#include "base/config_file.h"
#include "download/plan/default_quality.h"
#include "download/plan/download_files.h"
#include "download/plan/file_template.h"
#include "download/plan/output_format.h"
#include "download/plan/part_files.h"
#include "net/text_encoding.h"
#include "video/audio_choices.h"
#include "video/identifier.h"

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
    std::string container;     // "mp4" or "mkv"
    std::string nameTemplate;  // 文件名格式
    bool keepCharacters = false;
    std::string listName;
    SubtitleWants subtitles;
    bool libraryInfo = false;
    DanmakuWants danmaku;  // its track only where the part's file is an MKV
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

// The first codec of the order the quality comes in; the order's first when the list
// names none.
std::string codecOf(const QualityList& qualities, int quality,
                    const std::vector<VideoCodec>& order) {
    for (const QualityEntry& entry : qualities.entries) {
        if (textToInteger(entry.quality) != quality) continue;
        for (const VideoCodec codec : order) {
            const int id = static_cast<int>(codec);
            if (std::find(entry.codecIds.begin(), entry.codecIds.end(), id) != entry.codecIds.end())
                return codecName(codec);
        }
    }
    return order.empty() ? std::string() : codecName(order.front());
}

TemplateFields templateFields(const ParseResult& parsed, const PartChoice& choice, int row) {
    const VideoRecord& video = parsed.video;
    const PageEntry& page = parsed.rows.at(static_cast<size_t>(row));
    TemplateFields fields;
    // The title as the site gave it cleans to the folder's title; older records hold only that.
    fields.videoTitle = video.siteTitle.empty() ? video.title : video.siteTitle;
    fields.pageTitle = page.part;
    fields.pageNumber = row + 1;
    fields.bvid = video.bvid;
    if (const auto aid = bvidToAv(video.bvid)) fields.aid = std::to_string(*aid);
    fields.cid = page.cid;
    fields.quality = offeredQualityName(parsed.qualities, choice.videoQuality);
    fields.codec = codecOf(parsed.qualities, choice.videoQuality, choice.codecs);
    fields.owner = video.owner.name;
    fields.ownerMid = video.owner.mid;
    fields.publishDate = publicationDay(video.stat.pubdate);
    fields.listName = choice.listName;
    if (!page.episodeId.empty()) fields.episode = page.page;
    return fields;
}

// The paths the rows before took, and for each the copy number to try next.
struct TakenPaths {
    std::set<std::string> paths;
    std::map<std::string, int> nextCopy;
};

// <directory>/<the template's path>; a path an earlier row took gets "(2)", "(3)", ...
// before its extension, so that no part writes over another. The next number is kept, so
// that a thousand parts of one name do not count up from 2 each.
std::string distinctPath(const PartChoice& choice, const TemplateFields& fields,
                         const std::string& extension, TakenPaths& taken) {
    std::string path = templatedPath(choice.nameTemplate, fields, choice.keepCharacters, extension);
    if (taken.paths.count(path)) {
        int& copy = taken.nextCopy.try_emplace(path, 2).first->second;
        do {
            path = templatedPath(choice.nameTemplate, fields, choice.keepCharacters,
                                 "(" + std::to_string(copy++) + ")" + extension);
        } while (taken.paths.count(path));
    }
    taken.paths.insert(path);
    return choice.directory + "/" + path;
}

DownloadRequest bindPart(const ParseResult& parsed, const PartChoice& choice, int row,
                         TakenPaths& takenPaths) {
    const VideoRecord& video = parsed.video;
    const PageEntry& page = parsed.rows.at(static_cast<size_t>(row));
    DownloadRequest part;
    part.bvid = video.bvid;
    part.videoTitle = video.title;
    part.siteTitle = video.siteTitle;
    part.episodeId = page.episodeId;
    part.seasonId = video.seasonId;
    part.cid = page.cid;
    part.pageTitle = page.part;
    part.pageNumber = row + 1;
    part.videoQuality = choice.videoQuality;
    part.audioQuality = choice.audioQuality;
    part.qualityName = offeredQualityName(parsed.qualities, choice.videoQuality);
    part.codecs = choice.codecs;
    part.directory = choice.directory;
    part.content = choice.content;
    part.subtitles = choice.subtitles;
    part.outputPath = distinctPath(
        choice, templateFields(parsed, choice, row),
        outputExtension(chooseOutputFormat(part.content, choice.container, choice.audioQuality)),
        takenPaths);
    part.danmaku = choice.danmaku;
    part.danmaku.track =
        choice.danmaku.track && outputFormatOfPath(part.outputPath) == OutputFormat::Mkv;
    part.fileTags = choice.tags;
    part.libraryInfo = choice.libraryInfo;
    // The .nfo files need the texts even when the MP4 carries none.
    if (choice.tags || choice.libraryInfo) {
        part.tags = videoTags(video, static_cast<int>(parsed.rows.size()),
                              pageAddressOf(choice.siteMain, video, page));
    }
    if (choice.cover) part.coverAddress = video.pic;
    return part;
}

// The folders of the parts' files and <directory>/temp; "" or the buttons' message.
std::string makeFolders(const std::string& directory, const std::vector<DownloadRequest>& parts) {
    for (const DownloadRequest& part : parts) {
        if (!ensureFolder(part.outputPath.substr(0, part.outputPath.rfind('/')))) {
            return localText("目录创建失败！");
        }
    }
    if (!ensureFolder(directory + "/temp")) return localText("临时目录创建失败！");
    return {};
}

// Only-subtitles with the setting off takes every language: it was asked for by name.
SubtitleWants subtitleWantsOf(const DownloadSettings& settings, bool only) {
    if (!settings.subtitles && !only) return {};
    const std::string& languages = settings.subtitleLanguages;
    return {settings.subtitles && !languages.empty() ? languages : "all", settings.aiSubtitles,
            only};
}

// Only-comments writes the two files alone, without a track to put the ASS in.
DanmakuWants danmakuWantsOf(const DownloadSettings& settings, bool only) {
    const bool files = settings.danmaku || only;
    return {files, files && settings.danmakuTrack && !only, only};
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
                      downloadContentOf(settings.downloadContent), settings.container,
                      settings.fileNameTemplate, settings.keepTitleCharacters, selection.listName,
                      subtitleWantsOf(settings, selection.subtitlesOnly), settings.libraryInfo,
                      danmakuWantsOf(settings, selection.danmakuOnly)};
    if (selection.videoQuality) {
        choice.videoQuality = *selection.videoQuality;
        if (choice.videoQuality < 0) plan.refusal = localText("请选择视频清晰度！");
    } else {
        const DefaultChoice quality = chooseDefaultQualities(parsed.qualities, settings);
        choice.videoQuality = quality.videoQuality;
        plan.refusal = quality.refusal;
    }
    if (!plan.refusal.empty()) return plan;
    choice.audioQuality = offeredAudio(
        parsed.qualities, selection.audioQuality.value_or(defaultAudioStream(settings)));

    // The rows before a chosen one are named too, chosen or not, so that a part's name
    // never hangs on the choice.
    const std::vector<int> rows = chosenRows(parsed, selection);
    const int named = rows.empty() ? 0 : *std::max_element(rows.begin(), rows.end()) + 1;
    std::vector<DownloadRequest> parts;
    TakenPaths takenPaths;
    for (int row = 0; row < named; ++row) {
        parts.push_back(bindPart(parsed, choice, row, takenPaths));
    }
    std::vector<DownloadRequest> chosen;
    for (int row : rows) chosen.push_back(parts[row]);
    plan.refusal = makeFolders(settings.directory, chosen);
    if (!plan.refusal.empty()) return plan;
    for (DownloadRequest& part : chosen) {
        (isPartDone(part) ? plan.done : plan.requests).push_back(std::move(part));
    }
    return plan;
}

}  // namespace quivra

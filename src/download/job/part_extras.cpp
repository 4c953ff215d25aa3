#include "download/job/part_extras.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "base/shared_state.h"
#include "download/job/whole_file.h"
#include "download/plan/download_files.h"
#include "download/plan/part_files.h"
#include "net/text_encoding.h"
#include "video/identifier.h"

namespace quivra {

namespace {

// The tag becomes part of a file name: only letters, digits and dashes may ("../x" may not).
bool isSafeLanguageTag(const std::string& lan) {
    return !lan.empty() && lan.size() <= 32 && std::all_of(lan.begin(), lan.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_';
    });
}

bool isWantedTrack(const SubtitleWants& wants, const SubtitleTrack& track) {
    if (track.ai && !wants.ai) return false;
    if (wants.languages == "all") return true;
    std::size_t start = 0;
    while (start <= wants.languages.size()) {
        std::size_t end = wants.languages.find(',', start);
        if (end == std::string::npos) end = wants.languages.size();
        std::string item = wants.languages.substr(start, end - start);
        item.erase(0, item.find_first_not_of(' '));
        item.erase(item.find_last_not_of(' ') + 1);
        if (item == track.lan) return true;
        start = end + 1;
    }
    return false;
}

std::string trackName(const SubtitleTrack& track) {
    return localText("字幕“") + track.lanDoc + localText("”");
}

// Writes one track's .srt; its merge input, or none with the reason in leftOut.
std::optional<SubtitleInput> writeTrack(const CommentSource& source, const DownloadRequest& part,
                                        const SubtitleTrack& track, double videoSeconds,
                                        std::vector<std::string>& leftOut) {
    const SubtitleFetch fetched = fetchSubtitle(source, track, videoSeconds);
    if (!fetched.failure.empty()) {
        leftOut.push_back(trackName(track) + localText("未能获取：") + fetched.failure);
        return std::nullopt;
    }
    const SubtitleBody& body = fetched.body;
    if (body.skipped > 0) {
        leftOut.push_back(trackName(track) + localText("略去") + std::to_string(body.skipped) +
                          localText("句时间有误的字幕"));
    }
    if (body.lines.empty()) {
        leftOut.push_back(trackName(track) + localText("没有可用的字幕"));
        return std::nullopt;
    }
    const std::string path = localToUtf8(subtitlePath(part, track.lan));
    if (!saveWholeFile(subtitleSrt(body), path)) {
        leftOut.push_back(trackName(track) + localText("未能写入"));
        return std::nullopt;
    }
    return SubtitleInput{path, languageCode(track.lan), localToUtf8(track.lanDoc)};
}

// The chapters that lie within the video, cut at its end; how many were dropped.
std::vector<Chapter> chaptersWithin(const std::vector<Chapter>& chapters, double videoSeconds,
                                    int& dropped) {
    std::vector<Chapter> kept;
    for (Chapter chapter : chapters) {
        if (videoSeconds > 0) chapter.to = std::min(chapter.to, videoSeconds);
        if (chapter.from < 0 || chapter.to <= chapter.from) {
            ++dropped;
            continue;
        }
        kept.push_back(chapter);
    }
    return kept;
}

std::string escapedMetadata(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '=' || c == ';' || c == '#' || c == '\\' || c == '\n') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::int64_t chapterMilliseconds(double seconds) {
    return static_cast<std::int64_t>(seconds * 1000 + 0.5);
}

}  // namespace

std::string subtitlePath(const DownloadRequest& part, const std::string& lan) {
    return besidePartFile(part, "." + lan + ".srt");
}

CommentSource partCommentSource(std::shared_ptr<SigningKeys> keys) {
    CommentSource source;
    source.site = sharedState().site;
    source.cookie = sharedState().user.get().cookie;
    source.keys = std::move(keys);
    return source;
}

std::string chaptersMetadata(const std::vector<Chapter>& chapters) {
    std::string text = ";FFMETADATA1\n";
    for (const Chapter& chapter : chapters) {
        text += "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" +
                std::to_string(chapterMilliseconds(chapter.from)) +
                "\nEND=" + std::to_string(chapterMilliseconds(chapter.to)) +
                "\ntitle=" + escapedMetadata(localToUtf8(chapter.title)) + "\n";
    }
    return text;
}

PartExtras fetchPartExtras(const DownloadRequest& part, double videoSeconds, bool chapters,
                           std::shared_ptr<SigningKeys> keys) {
    PartExtras extras;
    const std::optional<std::int64_t> aid = bvidToAv(part.bvid);
    if (!aid) return extras;
    const CommentSource source = partCommentSource(std::move(keys));
    const PlayerInfo info = fetchPlayerInfo(source, std::to_string(*aid), part.cid);
    if (!info.failure.empty()) {
        extras.leftOut.push_back(localText("字幕与章节未能获取：") + info.failure);
        return extras;
    }
    extras.answered = true;
    if (!part.subtitles.languages.empty()) {
        for (const SubtitleTrack& track : info.subtitles) {
            if (!isSafeLanguageTag(track.lan) || !isWantedTrack(part.subtitles, track)) continue;
            if (auto input = writeTrack(source, part, track, videoSeconds, extras.leftOut)) {
                extras.subtitles.push_back(std::move(*input));
            }
        }
    }
    if (!chapters) return extras;
    int dropped = info.skippedChapters;
    const std::vector<Chapter> kept = chaptersWithin(info.chapters, videoSeconds, dropped);
    if (dropped > 0) {
        extras.leftOut.push_back(localText("略去") + std::to_string(dropped) +
                                 localText("个时间有误的章节"));
    }
    if (kept.empty()) return extras;
    const std::string path = localToUtf8(part.directory + "/temp/" + part.cid + ".chapters.txt");
    if (saveWholeFile(chaptersMetadata(kept), path)) {
        extras.chaptersPath = path;
    } else {
        extras.leftOut.push_back(localText("章节未能写入"));
    }
    return extras;
}

}  // namespace quivra

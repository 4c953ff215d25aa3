#include "download/job/merge_tags.h"

#include "net/text_encoding.h"

namespace quivra {

namespace {

// The first `limit` bytes of UTF-8 text, without the start of a character cut in two.
std::string cutUtf8(std::string text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

}  // namespace

std::vector<MetadataTag> partTags(const DownloadRequest& part) {
    if (!part.tags || !part.fileTags) return {};
    const VideoTags& video = *part.tags;
    // An episode is named by its own title even in a season of one.
    const bool severalParts = video.parts > 1 || !part.episodeId.empty();
    const MetadataTag all[] = {
        {"title", localToUtf8(severalParts ? part.pageTitle : video.videoTitle)},
        {"artist", localToUtf8(video.author)},
        {"album", severalParts ? localToUtf8(video.videoTitle) : ""},
        {"track",
         severalParts ? std::to_string(part.pageNumber) + "/" + std::to_string(video.parts) : ""},
        {"date", localToUtf8(video.date)},
        {"comment", localToUtf8(video.pageAddress)},
        {"description", cutUtf8(localToUtf8(video.description), kMaxDescriptionBytes)},
    };
    std::vector<MetadataTag> tags;
    for (const MetadataTag& tag : all) {
        if (!tag.value.empty()) tags.push_back(tag);
    }
    return tags;
}

}  // namespace quivra

#include "download/list/finished_part.h"

#include <array>

namespace quivra {

namespace {

// The item's texts in the order of FinishedPart's fields: the one place that order is kept.
template <typename Item>
auto textsOf(Item& item) {
    auto& request = item.request;
    return std::array{&request.bvid,       &request.videoTitle,  &request.cid,
                      &request.pageTitle,  &request.qualityName, &request.directory,
                      &request.outputPath, &request.siteTitle,   &request.episodeId,
                      &item.stageText,     &item.errorText};
}

}  // namespace

FinishedPart::FinishedPart(const DownloadItem& item)
    : id_(item.id),
      bytesDone_(item.bytesDone),
      bytesTotal_(item.bytesTotal),
      createdAt_(item.createdAt),
      finishedAt_(item.finishedAt),
      pageNumber_(item.request.pageNumber),
      videoQuality_(item.request.videoQuality),
      audioQuality_(item.request.audioQuality) {
    const auto texts = textsOf(item);
    static_assert(texts.size() == FieldCount);
    std::size_t size = 0;
    for (const std::string* text : texts) size += text->size();
    texts_.reserve(size);
    for (std::size_t i = 0; i < ends_.size(); ++i) {
        texts_ += *texts[i];
        ends_[i] = static_cast<std::uint32_t>(texts_.size());
    }
}

std::string_view FinishedPart::text(Field field) const {
    const std::uint32_t begin = field == 0 ? 0 : ends_[field - 1];
    return std::string_view(texts_).substr(begin, ends_[field] - begin);
}

std::string_view FinishedPart::outputPath() const {
    return text(OutputPath);
}

DownloadItem FinishedPart::item() const {
    DownloadItem item;
    item.id = id_;
    item.state = ItemState::Done;
    const auto texts = textsOf(item);
    for (std::size_t i = 0; i < texts.size(); ++i) *texts[i] = text(static_cast<Field>(i));
    item.request.pageNumber = pageNumber_;
    item.request.videoQuality = videoQuality_;
    item.request.audioQuality = audioQuality_;
    item.bytesDone = bytesDone_;
    item.bytesTotal = bytesTotal_;
    item.createdAt = createdAt_;
    item.finishedAt = finishedAt_;
    return item;
}

}  // namespace quivra

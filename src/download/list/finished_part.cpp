#include "download/list/finished_part.h"

namespace quivra {

FinishedPart::FinishedPart(const DownloadItem& item)
    : id_(item.id),
      bytesDone_(item.bytesDone),
      bytesTotal_(item.bytesTotal),
      createdAt_(item.createdAt),
      finishedAt_(item.finishedAt),
      pageNumber_(item.request.pageNumber),
      videoQuality_(item.request.videoQuality),
      audioQuality_(item.request.audioQuality) {
    const DownloadRequest& request = item.request;
    const std::string* texts[] = {&request.bvid,       &request.videoTitle,  &request.cid,
                                  &request.pageTitle,  &request.qualityName, &request.directory,
                                  &request.outputPath, &request.siteTitle,   &item.stageText,
                                  &item.errorText};
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
    DownloadRequest& request = item.request;
    request.bvid = text(Bvid);
    request.videoTitle = text(VideoTitle);
    request.cid = text(Cid);
    request.pageTitle = text(PageTitle);
    request.pageNumber = pageNumber_;
    request.videoQuality = videoQuality_;
    request.audioQuality = audioQuality_;
    request.qualityName = text(QualityName);
    request.directory = text(Directory);
    request.outputPath = text(OutputPath);
    request.siteTitle = text(SiteTitle);
    item.stageText = text(StageText);
    item.errorText = text(ErrorText);
    item.bytesDone = bytesDone_;
    item.bytesTotal = bytesTotal_;
    item.createdAt = createdAt_;
    item.finishedAt = finishedAt_;
    return item;
}

}  // namespace quivra

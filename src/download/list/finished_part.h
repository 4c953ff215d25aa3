// A finished part as a long download list keeps it: its texts in one block, without what
// only a running job needs (the tags, the cover). Most of a list of 100,000 parts is these;
// the queue turns one back into an item when it is shown or touched.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "download/list/download_item.h"

namespace quivra {

class FinishedPart {
  public:
    explicit FinishedPart(const DownloadItem& item);  // a done item
    DownloadItem item() const;                        // as it was given, without tags or cover
    std::int64_t id() const { return id_; }
    std::string_view outputPath() const;

  private:
    // In the order of textsOf (finished_part.cpp).
    enum Field {
        Bvid,
        VideoTitle,
        Cid,
        PageTitle,
        QualityName,
        Directory,
        OutputPath,
        SiteTitle,
        EpisodeId,
        StageText,
        ErrorText,
        FieldCount
    };
    std::string_view text(Field field) const;

    std::string texts_;                             // the texts one after the other
    std::array<std::uint32_t, FieldCount> ends_{};  // where each text ends
    std::int64_t id_ = 0;
    std::int64_t bytesDone_ = 0;
    std::int64_t bytesTotal_ = 0;
    std::int64_t createdAt_ = 0;
    std::int64_t finishedAt_ = 0;
    int pageNumber_ = 0;
    int videoQuality_ = 0;
    int audioQuality_ = 0;
};

}  // namespace quivra

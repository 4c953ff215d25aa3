#include "app/cli/downloads/parses_ahead.h"

#include "download/batch_download.h"
#include "video/video_parse.h"

namespace quivra {

ParsesAhead::ParsesAhead(const std::vector<std::string>& videos, const FormatAsk& ask)
    : videos_(videos), ask_(ask) {
    for (int i = 0; i < BatchRun::kParsesAtOnce; ++i) startNext();
}

ParseResult ParsesAhead::next() {
    ParseResult parsed = running_.front().get();
    running_.pop_front();
    startNext();
    return parsed;
}

void ParsesAhead::startNext() {
    if (started_ == videos_.size()) return;
    running_.push_back(std::async(std::launch::async, [this, &video = videos_[started_]] {
        return parseVideo(video, ask_);
    }));
    ++started_;
}

}  // namespace quivra

// The parses of many videos, two at once as the batch window's, handed over in order: the
// next is under way while the command plans the one before.
#pragma once

#include <cstddef>
#include <deque>
#include <future>
#include <string>
#include <vector>

#include "video/format_ask.h"
#include "video/parse_result.h"

namespace quivra {

class ParsesAhead {
  public:
    // videos (local text) must outlive the object; its end waits for the parses under way.
    ParsesAhead(const std::vector<std::string>& videos, const FormatAsk& ask);
    // The next video's parse; called once per video.
    ParseResult next();

  private:
    void startNext();

    const std::vector<std::string>& videos_;
    const FormatAsk ask_;
    std::deque<std::future<ParseResult>> running_;
    size_t started_ = 0;
};

}  // namespace quivra

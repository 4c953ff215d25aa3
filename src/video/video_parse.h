// The parse of one address as a value: what every front end takes a video's parts from.
#pragma once

#include <functional>
#include <string>

#include "video/format_ask.h"
#include "video/parse_result.h"

namespace quivra {

// Identifier, video information and, when the video lists parts, its quality list, for the
// address (local text), with no window and no shared record; asking is called once the
// address named a video, before the site is asked. The quality list is asked with `ask`.
ParseResult parseVideo(const std::string& address, const FormatAsk& ask,
                       const std::function<void()>& asking = {});

// What the main window says of the parse (local text): the message box's text when the
// address named no video, else its status line ("解析完毕，共N条视频" or "解析失败：" and
// the reason).
std::string parseText(const ParseResult& result);

}  // namespace quivra

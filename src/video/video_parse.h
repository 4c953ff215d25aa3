// The parse of one address as a value: what every front end takes a video's parts from.
#pragma once

#include <functional>
#include <string>

#include "base/records.h"
#include "video/parse_result.h"

namespace quivra {

// Identifier, video information and quality list of the address (local text), with no
// window and no shared record. previous is the video a failed request leaves in place (its
// fields kept with the new identifier, its cid asked for the qualities), as the main window
// keeps its last video; asking is called once the address named a video, before the site
// is asked.
ParseResult parseVideo(const std::string& address, const VideoRecord& previous = {},
                       const std::function<void()>& asking = {});

// What the main window says of the parse (local text): the message box's text when the
// address named no video, else its status line ("解析完毕，共N条视频" or "解析失败：" and
// the reason).
std::string parseText(const ParseResult& result);

}  // namespace quivra

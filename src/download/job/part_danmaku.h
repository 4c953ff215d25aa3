// A part's bullet comments beside its file: NN_name.danmaku.xml, the site's XML as it came
// inflated, and NN_name.danmaku.ass, drawn from it on the video's frame in the settings'
// style. What cannot be had is left out with a text that says so; the part downloads anyway.
#pragma once

#include <string>
#include <vector>

#include "base/records.h"
#include "download/list/download_item.h"
#include "video/comments/danmaku_ass.h"

namespace quivra {

// What the comments are drawn on: the video's frame (PlayResX/Y) and its length.
struct DanmakuFrame {
    int width = 1920;
    int height = 1080;
    double seconds = 0;  // comments after it are not drawn; 0: no limit
};

// The frame of the first video stream of a media file (UTF-8 path), 1920x1080 when it has
// none, and the file's length; the defaults when it cannot be read.
DanmakuFrame frameOfFile(const std::string& path);

// The one reading of the settings' bullet-comment rows: 显示区域 snapped to a quarter of the
// frame, 屏蔽词 parsed from the local text.
DanmakuStyle danmakuStyleOf(const DownloadSettings& settings);

struct PartDanmaku {
    bool written = false;            // both files are beside the part's file
    std::vector<std::string> notes;  // what was left out and why (local text), in order
};

// Fetches the part's comments from the site of the shared state, with its cookie, and writes
// both files whole. A refusal, an answer that is not deflate, past the cap or not XML writes
// nothing; a list cut short, unreadable comments and those after the video's end leave the
// ASS without them. No comment at all gives an ASS of its header alone.
PartDanmaku writePartDanmaku(const DownloadRequest& part, const DanmakuStyle& style,
                             const DanmakuFrame& frame);

}  // namespace quivra

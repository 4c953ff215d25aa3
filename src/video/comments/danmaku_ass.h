// Bullet comments as an ASS subtitle a player shows as the site does: scrolling ones right
// to left in lanes that never overlap, top and bottom ones fixed for 4 s, in their colours,
// on the video's frame.
#pragma once

#include <string>

#include "video/comments/danmaku.h"

namespace quivra {

struct DanmakuStyle {
    std::string font = "sans-serif";
    int fontSize = 50;         // a normal comment's pixels on a 1080-line frame
    double opacity = 0.8;      // 0..1
    double scrollSeconds = 8;  // how long a scrolling comment crosses the frame
    double area = 1.0;         // the share of the frame's height comments use (1/4 .. 1)
    bool hideScrolling = false;
    bool hideTop = false;
    bool hideBottom = false;
    bool hideColored = false;  // every comment that is not white
};

struct DanmakuAss {
    std::string text;  // the whole file, UTF-8
    int shown = 0;
    int hidden = 0;   // by the style's hide switches, or special comments
    int crowded = 0;  // no free lane when they came
};

// Comments in time order whatever the list's order; width and height are the video's
// frame (PlayResX/Y). No comment: the header alone.
DanmakuAss danmakuToAss(const DanmakuList& list, const DanmakuStyle& style, int width, int height);

}  // namespace quivra

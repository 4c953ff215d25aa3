// Bullet comments as the site sends them: an XML list of <d p="time,mode,size,color,...">.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quivra {

enum class DanmakuMode { Scrolling, Bottom, Top, Special };

struct Danmaku {
    double seconds = 0;  // from the video's start
    DanmakuMode mode = DanmakuMode::Scrolling;
    int size = 25;                   // 18 small, 25 normal, 36 big
    std::uint32_t color = 0xFFFFFF;  // RGB
    std::string text;                // UTF-8, entities decoded
};

struct DanmakuList {
    std::vector<Danmaku> comments;  // in the answer's order
    int skipped = 0;                // <d> whose p has too few fields or non-numbers
    // Why the answer is not a whole list ("" when it is): not XML, or cut short (then
    // comments holds what came before the cut).
    std::string problem;
};

DanmakuList parseDanmakuXml(std::string_view xml);

}  // namespace quivra

// Turning what the user typed (a video page address, a BV identifier or an av number)
// into the BV identifier that every request of the site is keyed by.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quivra {

// The bvid named by the input (local text), or nullopt when it names none; the caller
// then shows "请输入正确的视频地址、bvid、avid". An "av" number wins over a "BV" identifier.
std::optional<std::string> extractBvid(const std::string& input);

// The BV identifier of an av number; only the number's low 32 bits count.
std::string avToBvid(std::int64_t av);
// The av number of a BV identifier avToBvid makes; nullopt for any other text.
std::optional<std::int64_t> bvidToAv(const std::string& bvid);

}  // namespace quivra

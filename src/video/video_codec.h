// The video codecs the site sends a quality in, and the order a user prefers them in.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quivra {

// The site's codecid of each.
enum class VideoCodec { Avc = 7, Hevc = 12, Av1 = 13 };

// AVC, HEVC, AV1: the order that takes what a download always took.
std::vector<VideoCodec> defaultCodecOrder();

// "hevc,av1,avc" (any case, blanks allowed) into an order; a codec left out comes after
// the named ones in the default order. nullopt, with the unknown name in `unknown`, for a
// name that is not avc, hevc or av1, or one named twice; "" gives the default order.
std::optional<std::vector<VideoCodec>> parseCodecOrder(const std::string& text,
                                                       std::string* unknown = nullptr);
// "avc,hevc,av1": what config.ini and the command line write.
std::string codecOrderText(const std::vector<VideoCodec>& order);
// "AVC", "HEVC", "AV1": what the download list's 清晰度 adds to the quality.
std::string codecName(VideoCodec codec);

}  // namespace quivra

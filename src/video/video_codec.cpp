#include "video/video_codec.h"

#include <algorithm>
#include <cctype>

namespace quivra {
namespace {

struct CodecNames {
    VideoCodec codec;
    const char* key;   // config.ini and the command line
    const char* name;  // shown to the user
};

constexpr CodecNames kCodecs[] = {{VideoCodec::Avc, "avc", "AVC"},
                                  {VideoCodec::Hevc, "hevc", "HEVC"},
                                  {VideoCodec::Av1, "av1", "AV1"}};

std::string trimmedLower(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    std::string out = text.substr(first, last - first + 1);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::vector<VideoCodec> defaultCodecOrder() {
    return {VideoCodec::Avc, VideoCodec::Hevc, VideoCodec::Av1};
}

std::optional<std::vector<VideoCodec>> parseCodecOrder(const std::string& text,
                                                       std::string* unknown) {
    std::vector<VideoCodec> order;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto comma = std::min(text.find(',', start), text.size());
        const std::string raw = text.substr(start, comma - start);
        start = comma + 1;
        const std::string key = trimmedLower(raw);
        if (key.empty() && text.find_first_not_of(" \t") == std::string::npos) break;
        const auto* found = std::find_if(std::begin(kCodecs), std::end(kCodecs),
                                         [&](const CodecNames& c) { return key == c.key; });
        if (found == std::end(kCodecs) ||
            std::find(order.begin(), order.end(), found->codec) != order.end()) {
            if (unknown) *unknown = raw;
            return std::nullopt;
        }
        order.push_back(found->codec);
    }
    for (VideoCodec codec : defaultCodecOrder()) {
        if (std::find(order.begin(), order.end(), codec) == order.end()) order.push_back(codec);
    }
    return order;
}

std::string codecOrderText(const std::vector<VideoCodec>& order) {
    std::string text;
    for (VideoCodec codec : order) {
        if (!text.empty()) text += ',';
        for (const CodecNames& c : kCodecs)
            if (c.codec == codec) text += c.key;
    }
    return text;
}

std::string codecName(VideoCodec codec) {
    for (const CodecNames& c : kCodecs)
        if (c.codec == codec) return c.name;
    return {};
}

}  // namespace quivra

// The media behind the stream addresses: short real H.264, HEVC, AV1 and AAC streams made
// with ffmpeg once and cached, plus a large file of synthetic bytes for benchmarks.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace devsite {

struct MediaCatalog {
    std::map<std::pair<int, int>, std::string> video;  // (quality id, codecid) -> file
    std::map<int, std::string> audio;                  // audio id -> file
    std::string large;                                 // synthetic bytes
    std::string cover;                                 // a small JPEG, every video's cover picture
};

struct VideoSize {
    int width;
    int height;
};

// The site's codecid of each video codec.
inline constexpr int kAvcCodecId = 7;
inline constexpr int kHevcCodecId = 12;
inline constexpr int kAv1CodecId = 13;

struct QualityMedia {
    VideoSize size;  // differs per quality, so that a test can tell the quality by probing
    std::vector<int> codecIds;
};

// Each quality's frame size and the codecs it is made in: HDR (125) in HEVC only, the 8K
// stand-in (127, small frames) in HEVC and AV1, every other quality in all three.
const std::map<int, QualityMedia>& qualityMedia();

// Creates what is missing under `cacheDir` (each file under a temporary name, then
// renamed into place, so concurrent starts are safe). Empty catalog on failure.
bool prepareMedia(const std::string& cacheDir, std::int64_t largeBytes, MediaCatalog& catalog);

// The default cache folder shared by every local site of this user.
std::string defaultCacheDir();

}  // namespace devsite

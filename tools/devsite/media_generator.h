// The media behind the stream addresses: short real H.264, HEVC, AV1, AAC, FLAC and E-AC-3
// streams made with ffmpeg once and cached, plus a large file of synthetic bytes for
// benchmarks.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace devsite {

struct MediaCatalog {
    // (quality id, codecid) -> file; only the AVC ones are made at start
    std::map<std::pair<int, int>, std::string> video;
    std::map<int, std::string> audio;  // audio id -> file; only the AAC ones are made at start
    std::string large;                 // synthetic bytes
    std::string cover;                 // a small JPEG, every video's cover picture
};

struct VideoSize {
    int width;
    int height;
};

// The site's codecid of each video codec.
inline constexpr int kAvcCodecId = 7;
inline constexpr int kHevcCodecId = 12;
inline constexpr int kAv1CodecId = 13;

// The lossless (FLAC) and the Dolby (E-AC-3, six channels) audio streams' ids.
inline constexpr int kLosslessAudioId = 30251;
inline constexpr int kDolbyAudioId = 30250;

struct QualityMedia {
    VideoSize size;  // differs per quality, so that a test can tell the quality by probing
    std::vector<int> codecIds;
};

// Each quality's frame size and the codecs it is made in: HDR (125) and Dolby Vision (126)
// in HEVC only, the 8K stand-in (127, small frames) in HEVC and AV1, every other quality in
// all three.
const std::map<int, QualityMedia>& qualityMedia();

// Creates what is missing under `cacheDir` (each file under a temporary name, then
// renamed into place, so concurrent starts are safe). Empty catalog on failure.
bool prepareMedia(const std::string& cacheDir, std::int64_t largeBytes, MediaCatalog& catalog);

// The catalog's file of a quality in a codec, made now if missing; "" when the catalog has
// none or it cannot be made.
std::string ensureVideoFile(const MediaCatalog& catalog, int quality, int codecId);

// The catalog's file of an audio stream, made now if missing; "" when the catalog has none
// or it cannot be made.
std::string ensureAudioFile(const MediaCatalog& catalog, int id);

// The default cache folder shared by every local site of this user.
std::string defaultCacheDir();

}  // namespace devsite

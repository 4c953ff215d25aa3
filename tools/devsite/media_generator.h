// The media behind the stream addresses: short real H.264 and AAC streams made with
// ffmpeg once and cached, plus a large file of synthetic bytes for benchmarks.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace devsite {

struct MediaCatalog {
    std::map<int, std::string> video;  // quality id -> file
    std::map<int, std::string> audio;  // audio id -> file
    std::string large;                 // synthetic bytes
    std::string cover;                 // a small JPEG, every video's cover picture
};

struct VideoSize {
    int width;
    int height;
};

// Frame size of each quality's stream, so that a test can tell the quality by probing.
const std::map<int, VideoSize>& qualityFrameSizes();

// Creates what is missing under `cacheDir` (each file under a temporary name, then
// renamed into place, so concurrent starts are safe). Empty catalog on failure.
bool prepareMedia(const std::string& cacheDir, std::int64_t largeBytes, MediaCatalog& catalog);

// The default cache folder shared by every local site of this user.
std::string defaultCacheDir();

}  // namespace devsite

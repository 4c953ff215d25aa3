#include "devsite/media_generator.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

extern char** environ;

namespace devsite {

namespace fs = std::filesystem;

namespace {

// Bump when the recipes below change, so stale caches are not reused.
constexpr const char* kRecipeVersion = "media-v1";

struct AudioRecipe {
    int frequency;
    std::vector<std::string> encoder;
    bool atStart;  // the AAC ones; the lossless and Dolby ones are made on their first ask
};

const std::map<int, AudioRecipe>& audioRecipes() {
    static const std::map<int, AudioRecipe> recipes = {
        {30280, {440, {"-c:a", "aac", "-b:a", "192k"}, true}},
        {30232, {523, {"-c:a", "aac", "-b:a", "128k"}, true}},
        {30216, {659, {"-c:a", "aac", "-b:a", "64k"}, true}},
        // FLAC in MP4 is still marked experimental by ffmpeg.
        {kLosslessAudioId, {330, {"-c:a", "flac", "-strict", "experimental"}, false}},
        {kDolbyAudioId, {392, {"-ac", "6", "-c:a", "eac3", "-b:a", "192k"}, false}}};
    return recipes;
}

std::string uniqueSuffix() {
    return ".part-" + std::to_string(::getpid()) + "-" +
           std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}

// Runs a program without a shell, its output thrown away; true when it exits with 0.
bool runQuietly(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Makes `target` with `make(temporaryPath)` unless it exists. The file is published with
// link(), which never replaces: whoever comes first wins, and a reader never sees a
// file change under it.
template <typename Maker>
bool ensureFile(const fs::path& target, Maker make) {
    std::error_code error;
    if (fs::exists(target, error)) return true;
    const fs::path temporary = target.string() + uniqueSuffix();
    if (make(temporary.string())) ::link(temporary.c_str(), target.c_str());
    fs::remove(temporary, error);
    return fs::exists(target, error);
}

// Fast settings and small frames: the streams only have to be real files of their codec.
std::vector<std::string> encoderArguments(int codecId) {
    switch (codecId) {
        case kHevcCodecId:
            return {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=none"};
        case kAv1CodecId:
            return {"-c:v", "libsvtav1", "-preset", "12"};
        default:
            return {"-c:v", "libx264", "-preset", "ultrafast"};
    }
}

bool makeVideo(const std::string& path, VideoSize size, std::vector<std::string> encoder) {
    const std::string source = "testsrc2=size=" + std::to_string(size.width) + "x" +
                               std::to_string(size.height) + ":rate=25:duration=2";
    std::vector<std::string> args = {"ffmpeg", "-nostdin", "-y", "-v",  "error",
                                     "-f",     "lavfi",    "-i", source};
    args.insert(args.end(), encoder.begin(), encoder.end());
    for (const char* arg :
         {"-pix_fmt", "yuv420p", "-g", "25", "-an", "-movflags", "+faststart", "-f", "mp4"})
        args.push_back(arg);
    args.push_back(path);
    return runQuietly(args);
}

// AV1 by SVT-AV1, or by libaom where ffmpeg was built without it.
bool makeVideo(const std::string& path, VideoSize size, int codecId) {
    if (makeVideo(path, size, encoderArguments(codecId))) return true;
    return codecId == kAv1CodecId &&
           makeVideo(path, size, {"-c:v", "libaom-av1", "-cpu-used", "8", "-row-mt", "1"});
}

std::string videoFileName(int quality, int codecId) {
    const std::string suffix = codecId == kAvcCodecId ? "" : "-" + std::to_string(codecId);
    return "video-" + std::to_string(quality) + suffix + ".mp4";
}

bool makeAudio(const std::string& path, const AudioRecipe& recipe) {
    const std::string source =
        "sine=frequency=" + std::to_string(recipe.frequency) + ":sample_rate=44100:duration=2";
    std::vector<std::string> args = {"ffmpeg", "-nostdin", "-y", "-v",  "error",
                                     "-f",     "lavfi",    "-i", source};
    args.insert(args.end(), recipe.encoder.begin(), recipe.encoder.end());
    for (const char* arg : {"-vn", "-movflags", "+faststart", "-f", "mp4"}) args.push_back(arg);
    args.push_back(path);
    return runQuietly(args);
}

bool makeCover(const std::string& path) {
    return runQuietly({"ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i",
                       "testsrc2=size=320x180", "-frames:v", "1", "-f", "mjpeg", path});
}

// Bytes that depend on their offset, so a block delivered at the wrong place shows.
bool makeSynthetic(const std::string& path, std::int64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    constexpr std::size_t kBlock = 1 << 20;
    std::vector<std::uint64_t> block(kBlock / sizeof(std::uint64_t));
    bool ok = true;
    for (std::int64_t offset = 0; ok && offset < size; offset += kBlock) {
        for (std::size_t i = 0; i < block.size(); ++i) {
            const std::uint64_t word = static_cast<std::uint64_t>(offset) / 8 + i;
            block[i] = word * 0x9E3779B97F4A7C15ull ^ (word >> 7);
        }
        const std::size_t length =
            static_cast<std::size_t>(std::min<std::int64_t>(kBlock, size - offset));
        const char* data = reinterpret_cast<const char*>(block.data());
        std::size_t written = 0;
        while (ok && written < length) {
            const ssize_t n = ::write(fd, data + written, length - written);
            if (n < 0 && errno == EINTR) continue;
            ok = n > 0;
            if (ok) written += static_cast<std::size_t>(n);
        }
    }
    return ::close(fd) == 0 && ok;
}

}  // namespace

const std::map<int, QualityMedia>& qualityMedia() {
    constexpr int A = kAvcCodecId, H = kHevcCodecId, V = kAv1CodecId;
    static const std::map<int, QualityMedia> media = {
        {127, {{1440, 810}, {H, V}}},    {126, {{1360, 766}, {H}}},
        {125, {{1200, 676}, {H}}},       {120, {{1280, 720}, {A, H, V}}},
        {116, {{1120, 630}, {A, H, V}}}, {80, {{960, 540}, {A, H, V}}},
        {64, {{768, 432}, {A, H, V}}},   {32, {{512, 288}, {A, H, V}}},
        {16, {{256, 144}, {A, H, V}}}};
    return media;
}

std::string ensureVideoFile(const MediaCatalog& catalog, int quality, int codecId) {
    const auto file = catalog.video.find({quality, codecId});
    if (file == catalog.video.end()) return {};
    const VideoSize size = qualityMedia().at(quality).size;
    const bool made = ensureFile(file->second, [size, codecId](const std::string& path) {
        return makeVideo(path, size, codecId);
    });
    return made ? file->second : std::string();
}

std::string ensureAudioFile(const MediaCatalog& catalog, int id) {
    const auto file = catalog.audio.find(id);
    if (file == catalog.audio.end()) return {};
    const AudioRecipe& recipe = audioRecipes().at(id);
    const bool made = ensureFile(
        file->second, [&recipe](const std::string& path) { return makeAudio(path, recipe); });
    return made ? file->second : std::string();
}

std::string defaultCacheDir() {
    std::error_code error;
    fs::path base = fs::temp_directory_path(error);
    if (error) base = "/tmp";
    return (base / ("quivra-devsite-" + std::to_string(::getuid()))).string();
}

bool prepareMedia(const std::string& cacheDir, std::int64_t largeBytes, MediaCatalog& catalog) {
    catalog = {};
    const fs::path folder =
        fs::path(cacheDir.empty() ? defaultCacheDir() : cacheDir) / kRecipeVersion;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) return false;
    MediaCatalog made;
    // HEVC and AV1 take seconds each and most runs never ask: made on the first ask.
    for (const auto& [quality, media] : qualityMedia()) {
        for (const int codecId : media.codecIds) {
            const fs::path file = folder / videoFileName(quality, codecId);
            made.video[{quality, codecId}] = file.string();
            if (codecId == kAvcCodecId && ensureVideoFile(made, quality, codecId).empty())
                return false;
        }
    }
    for (const auto& [id, recipe] : audioRecipes()) {
        made.audio[id] = (folder / ("audio-" + std::to_string(id) + ".mp4")).string();
        if (recipe.atStart && ensureAudioFile(made, id).empty()) return false;
    }
    const fs::path large = folder / ("large-" + std::to_string(largeBytes) + ".bin");
    if (!ensureFile(large, [largeBytes](const std::string& path) {
            return makeSynthetic(path, largeBytes);
        }))
        return false;
    made.large = large.string();
    const fs::path cover = folder / "cover.jpg";
    if (!ensureFile(cover, makeCover)) return false;
    made.cover = cover.string();
    catalog = std::move(made);
    return true;
}

}  // namespace devsite

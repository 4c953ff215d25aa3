#include "download/job/media_probe.h"

#include <dlfcn.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/macros.h>
}

#include <algorithm>
#include <cmath>

namespace quivra {

namespace {

// How far a merge's length may stray from its streams': container rounding, not a
// missing piece.
constexpr double kToleratedSeconds = 0.5;
constexpr double kToleratedShare = 0.01;

// libavformat, loaded at the first check and kept for the process: with its hundred-odd
// libraries linked, every start of every command would pay for them.
struct MediaLibrary {
    decltype(&avformat_open_input) open = nullptr;
    decltype(&avformat_find_stream_info) findStreamInfo = nullptr;
    decltype(&avformat_close_input) close = nullptr;
};

template <typename Function>
void findFunction(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
}

MediaLibrary loadMediaLibrary() {
    MediaLibrary functions;
    void* library =
        dlopen("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return functions;
    // A file that is not whole is an expected answer, not something to print.
    decltype(&av_log_set_level) setLogLevel = nullptr;
    findFunction(library, "av_log_set_level", setLogLevel);
    if (setLogLevel != nullptr) setLogLevel(AV_LOG_QUIET);
    findFunction(library, "avformat_open_input", functions.open);
    findFunction(library, "avformat_find_stream_info", functions.findStreamInfo);
    findFunction(library, "avformat_close_input", functions.close);
    return functions;
}

const MediaLibrary& mediaLibrary() {
    static const MediaLibrary functions = loadMediaLibrary();
    return functions;
}

double streamSeconds(const AVStream& stream) {
    if (stream.duration == AV_NOPTS_VALUE || stream.duration < 0) return -1;
    return static_cast<double>(stream.duration) * av_q2d(stream.time_base);
}

void countStream(const AVStream& stream, MediaSummary& summary) {
    if (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) {
        ++summary.pictureStreams;
    } else if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        if (summary.videoStreams++ == 0) summary.videoSeconds = streamSeconds(stream);
    } else if (stream.codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
        if (summary.audioStreams++ == 0) summary.audioSeconds = streamSeconds(stream);
    }
}

bool isAbout(double merged, double expected) {
    return merged >= 0 && expected >= 0 &&
           std::abs(merged - expected) <= kToleratedSeconds + kToleratedShare * expected;
}

// A stream file's own length, or its container's when the stream does not tell.
double lengthOf(double stream, const MediaSummary& file) {
    return stream >= 0 ? stream : file.seconds;
}

}  // namespace

MediaSummary probeMedia(const std::string& path) {
    MediaSummary summary;
    const MediaLibrary& library = mediaLibrary();
    if (!library.open || !library.findStreamInfo || !library.close) return summary;
    AVFormatContext* context = nullptr;
    // "file:" keeps a name from being taken for another protocol.
    const std::string address = "file:" + path;
    if (library.open(&context, address.c_str(), nullptr, nullptr) != 0) return summary;
    if (library.findStreamInfo(context, nullptr) >= 0) {
        for (unsigned i = 0; i < context->nb_streams; ++i)
            countStream(*context->streams[i], summary);
        if (context->duration != AV_NOPTS_VALUE && context->duration >= 0) {
            summary.seconds = static_cast<double>(context->duration) / AV_TIME_BASE;
        }
    }
    library.close(&context);
    return summary;
}

bool isWholeMerge(const std::string& mergedPath, const std::string& videoPath,
                  const std::string& audioPath) {
    const MediaSummary video = probeMedia(videoPath);
    const MediaSummary audio = probeMedia(audioPath);
    if (video.seconds < 0 || audio.seconds < 0) return false;
    const MediaSummary merged = probeMedia(mergedPath);
    return merged.videoStreams == 1 && merged.audioStreams == 1 && merged.pictureStreams <= 1 &&
           isAbout(merged.seconds, std::max(video.seconds, audio.seconds)) &&
           isAbout(merged.videoSeconds, lengthOf(video.videoSeconds, video)) &&
           isAbout(merged.audioSeconds, lengthOf(audio.audioSeconds, audio));
}

}  // namespace quivra

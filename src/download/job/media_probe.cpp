#include "download/job/media_probe.h"

#include <dlfcn.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/macros.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>

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
    decltype(&av_dict_get) dictionaryEntry = nullptr;  // libavutil's, reached through it
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
    findFunction(library, "av_dict_get", functions.dictionaryEntry);
    return functions;
}

const MediaLibrary& mediaLibrary() {
    static const MediaLibrary functions = loadMediaLibrary();
    return functions;
}

// Matroska gives a track's length only as its "DURATION" tag, "HH:MM:SS.nnnnnnnnn",
// which its muxer writes from the packets it wrote.
double taggedSeconds(const AVStream& stream) {
    const auto entry = mediaLibrary().dictionaryEntry;
    const AVDictionaryEntry* tag =
        entry != nullptr ? entry(stream.metadata, "DURATION", nullptr, 0) : nullptr;
    unsigned hours = 0;
    unsigned minutes = 0;
    double seconds = 0;
    if (tag == nullptr || std::sscanf(tag->value, "%u:%u:%lf", &hours, &minutes, &seconds) != 3) {
        return -1;
    }
    return hours * 3600.0 + minutes * 60.0 + seconds;
}

double streamSeconds(const AVStream& stream) {
    if (stream.duration == AV_NOPTS_VALUE || stream.duration < 0) return taggedSeconds(stream);
    return static_cast<double>(stream.duration) * av_q2d(stream.time_base);
}

void countStream(const AVStream& stream, MediaSummary& summary) {
    if (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) {
        ++summary.pictureStreams;
    } else if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        if (summary.videoStreams++ == 0) {
            summary.videoSeconds = streamSeconds(stream);
            summary.width = stream.codecpar->width;
            summary.height = stream.codecpar->height;
        }
    } else if (stream.codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
        if (summary.audioStreams++ == 0) summary.audioSeconds = streamSeconds(stream);
    } else if (stream.codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE) {
        ++summary.subtitleStreams;
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
        summary.chapters = static_cast<int>(context->nb_chapters);
        if (context->duration != AV_NOPTS_VALUE && context->duration >= 0) {
            summary.seconds = static_cast<double>(context->duration) / AV_TIME_BASE;
        }
    }
    library.close(&context);
    return summary;
}

bool isWholeMerge(const std::string& mergedPath, const std::string& videoPath,
                  const std::string& audioPath, MergeCarries carries) {
    if (videoPath.empty() && audioPath.empty()) return false;
    const MediaSummary merged = probeMedia(mergedPath);
    const int wantedVideo = videoPath.empty() ? 0 : 1;
    const int wantedAudio = audioPath.empty() ? 0 : 1;
    if (merged.videoStreams != wantedVideo || merged.audioStreams != wantedAudio ||
        merged.pictureStreams > 1 || merged.subtitleStreams != carries.subtitleTracks ||
        (carries.chapters && merged.chapters == 0)) {
        return false;
    }
    double longest = 0;
    if (wantedVideo == 1) {
        const MediaSummary video = probeMedia(videoPath);
        if (video.seconds < 0 || !isAbout(merged.videoSeconds, lengthOf(video.videoSeconds, video)))
            return false;
        longest = video.seconds;
    }
    if (wantedAudio == 1) {
        const MediaSummary audio = probeMedia(audioPath);
        if (audio.seconds < 0 || !isAbout(merged.audioSeconds, lengthOf(audio.audioSeconds, audio)))
            return false;
        longest = std::max(longest, audio.seconds);
    }
    if (carries.outlastingTrack) {
        return merged.seconds >= 0 && merged.seconds + kToleratedSeconds >= longest;
    }
    return isAbout(merged.seconds, longest);
}

}  // namespace quivra

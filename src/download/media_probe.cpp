#include "download/media_probe.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cmath>
#include <mutex>

namespace quivra {

namespace {

// How far a merge's length may stray from its streams': container rounding, not a
// missing piece.
constexpr double kToleratedSeconds = 0.5;
constexpr double kToleratedShare = 0.01;

// A file that is not whole is an expected answer, not something to print.
void silenceLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

double streamSeconds(const AVStream& stream) {
    if (stream.duration == AV_NOPTS_VALUE || stream.duration < 0) return -1;
    return static_cast<double>(stream.duration) * av_q2d(stream.time_base);
}

void count(const AVStream& stream, MediaSummary& summary) {
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
    silenceLibraryLog();
    MediaSummary summary;
    AVFormatContext* context = nullptr;
    // "file:" keeps a name from being taken for another protocol.
    const std::string address = "file:" + path;
    if (avformat_open_input(&context, address.c_str(), nullptr, nullptr) != 0) return summary;
    if (avformat_find_stream_info(context, nullptr) >= 0) {
        for (unsigned i = 0; i < context->nb_streams; ++i) count(*context->streams[i], summary);
        if (context->duration != AV_NOPTS_VALUE && context->duration >= 0) {
            summary.seconds = static_cast<double>(context->duration) / AV_TIME_BASE;
        }
    }
    avformat_close_input(&context);
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

#include "video/format_ask.h"

#include <algorithm>

#include "base/config_file.h"
#include "video/audio_choices.h"

namespace quivra {
namespace {

// 16 DASH and 64 HDR are always asked for; the rest only when a download needs them, so
// an answer for the usual choices stays what it always was.
constexpr int kFnvalDash = 80;
constexpr int kFnvalSpecialAudio = 256;
constexpr int kFnvalDolbyVision = 512;
constexpr int kFnval8K = 1024;
constexpr int kFnvalAv1 = 2048;

constexpr const char* kDolbyVisionQuality = "126";
constexpr const char* k8KQuality = "127";

// AV1 is asked for only when the order may take it before another codec; last, it would
// only be taken by a quality that comes in neither AVC nor HEVC.
int codecBits(const std::vector<VideoCodec>& codecs) {
    const auto av1 = std::find(codecs.begin(), codecs.end(), VideoCodec::Av1);
    return av1 != codecs.end() && av1 + 1 != codecs.end() ? kFnvalAv1 : 0;
}

int audioBits(int audio) {
    return isSpecialAudioStream(audio) ? kFnvalSpecialAudio : 0;
}

}  // namespace

FormatAsk formatAskOf(const DownloadSettings& settings) {
    return {parseCodecOrder(settings.videoCodecs).value_or(defaultCodecOrder()),
            audioStreamNamed(settings.defaultAudioQuality), settings.ultraFormats};
}

int fnvalFor(const StreamWants& wants) {
    return kFnvalDash | codecBits(wants.codecs) | audioBits(textToInteger(wants.audio)) |
           (wants.video == kDolbyVisionQuality ? kFnvalDolbyVision : 0) |
           (wants.video == k8KQuality ? kFnval8K : 0);
}

int fnvalFor(const FormatAsk& ask) {
    return kFnvalDash | codecBits(ask.codecs) | audioBits(ask.audio) |
           (ask.ultraFormats ? kFnvalDolbyVision | kFnval8K : 0);
}

}  // namespace quivra

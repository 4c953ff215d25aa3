#include "download/media_probe.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "download/command_runner.h"
#include "download/merge_command.h"

namespace quivra {

namespace {

// How far a merge's length may stray from its streams': container rounding, not a
// missing piece.
constexpr double kToleratedSeconds = 0.5;
constexpr double kToleratedShare = 0.01;

double parseSeconds(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && std::isfinite(value) && value >= 0 ? value : -1;
}

}  // namespace

MediaSummary probeMedia(const std::string& path) {
    MediaSummary summary;
    int status = -1;
    const std::string out = runCommand(
        "ffprobe -v error -show_entries "
        "stream=codec_type:stream_disposition=attached_pic:format=duration "
        "-of default=noprint_wrappers=1 " +
            shellQuote("file:" + path),
        nullptr, &status);
    if (status != 0) return summary;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line == "codec_type=video") {
            ++summary.videoStreams;
        } else if (line == "codec_type=audio") {
            ++summary.audioStreams;
        } else if (line == "DISPOSITION:attached_pic=1") {
            --summary.videoStreams;  // a cover picture follows its codec_type=video
        } else if (line.rfind("duration=", 0) == 0) {
            summary.seconds = parseSeconds(line.substr(9));
        }
    }
    return summary;
}

double longerStreamSeconds(const std::string& videoPath, const std::string& audioPath) {
    const double video = probeMedia(videoPath).seconds;
    const double audio = probeMedia(audioPath).seconds;
    return video < 0 || audio < 0 ? -1 : std::max(video, audio);
}

bool isWholeMerge(const std::string& mergedPath, double streamSeconds) {
    if (streamSeconds < 0) return false;
    const MediaSummary merged = probeMedia(mergedPath);
    if (merged.videoStreams != 1 || merged.audioStreams != 1 || merged.seconds < 0) return false;
    return std::abs(merged.seconds - streamSeconds) <=
           kToleratedSeconds + kToleratedShare * streamSeconds;
}

}  // namespace quivra

// Which file a part becomes: what it holds (下载内容) and the container it is written in,
// told by the output path's extension alone, so that the plan, the job and the store agree.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "download/list/download_item.h"
#include "video/audio_choices.h"

namespace quivra {

enum class OutputFormat {
    Mp4,   // video and audio, or video alone
    Mkv,   // video and audio (lossless audio always), or video alone
    M4a,   // AAC or E-AC-3 audio alone
    Flac,  // lossless audio alone
};

struct ContentChoice {
    DownloadContent content;
    const char* key;   // config.ini's value and the command line's name
    const char* name;  // as the windows show it (UTF-8)
};

// In the order the windows list them; the first is the default.
inline constexpr std::array<ContentChoice, 3> kContentChoices = {{
    {DownloadContent::AudioVideo, "av", "音视频"},
    {DownloadContent::AudioOnly, "audio", "仅音频"},
    {DownloadContent::VideoOnly, "video", "仅视频"},
}};

// The lossless audio stream's id: FLAC, which common players do not play from an MP4.
inline constexpr int kLosslessAudioId = kLosslessAudioStream;

// The setting's value ("av", "audio", "video"); anything else is AudioVideo.
DownloadContent downloadContentOf(const std::string& key);
const char* downloadContentKey(DownloadContent content);

// The format of a part: audio alone is FLAC for the lossless stream and M4A otherwise;
// with video, lossless audio or the MKV container (setting "mkv") gives MKV, else MP4.
OutputFormat chooseOutputFormat(DownloadContent content, const std::string& container, int audioId);

// ".mp4", ".mkv", ".m4a", ".flac".
const char* outputExtension(OutputFormat format);

// The format the path's extension names; none for another extension.
std::optional<OutputFormat> outputFormatOfPath(const std::string& path);

}  // namespace quivra

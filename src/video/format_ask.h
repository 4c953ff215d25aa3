// What a stream list request asks the site for, and the format bits (fnval) that ask it.
#pragma once

#include <string>
#include <vector>

#include "base/records.h"
#include "video/video_codec.h"

namespace quivra {

// What a part's streams are chosen by: the quality's id, the codec order, the audio id.
struct StreamWants {
    std::string video;  // the quality's id; "": the first listed
    std::string audio;  // the audio stream's id; "": the first
    std::vector<VideoCodec> codecs =
        defaultCodecOrder();  // a quality without the first takes the next
};

// What a quality list is asked with: AV1 where the order may take it, the lossless and
// Dolby audio when they are the audio wanted (so the list tells whether the video has
// them), and Dolby Vision and 8K when the user wants to choose them.
struct FormatAsk {
    std::vector<VideoCodec> codecs = defaultCodecOrder();
    int audio = 0;  // the audio stream id to be downloaded; 0: none named
    bool ultraFormats = false;
};

// The settings' codec order (a broken one is the default order), 默认音频质量 and
// 请求杜比视界和8K.
FormatAsk formatAskOf(const DownloadSettings& settings);

// 80, plus the bits of what is wanted: AV1 2048, Dolby or lossless audio 256, Dolby
// Vision (126) 512, 8K (127) 1024. Nothing extra wanted gives 80.
int fnvalFor(const StreamWants& wants);
// 80, plus 2048 by the order, 256 by the audio and 512|1024 with ultraFormats.
int fnvalFor(const FormatAsk& ask);

}  // namespace quivra

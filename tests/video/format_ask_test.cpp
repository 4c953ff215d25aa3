#include "video/format_ask.h"

#include <gtest/gtest.h>

#include "net/text_encoding.h"

namespace quivra {
namespace {

TEST(FormatBits, EachWantAddsItsOwnBitAndNothingExtraStaysAt80) {
    const std::vector<VideoCodec> av1First = *parseCodecOrder("av1");
    const std::vector<VideoCodec> av1Last = defaultCodecOrder();
    struct Case {
        StreamWants wants;
        int fnval;
    };
    const Case cases[] = {
        {{"80", "30280", av1Last}, 80},    {{"", "", av1Last}, 80},
        {{"80", "30251", av1Last}, 336},   {{"80", "30250", av1Last}, 336},
        {{"126", "30280", av1Last}, 592},  {{"127", "30232", av1Last}, 1104},
        {{"80", "30280", av1First}, 2128}, {{"127", "30251", av1First}, 3408},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fnvalFor(c.wants), c.fnval) << c.wants.video << " " << c.wants.audio;
    }
}

TEST(FormatBits, TheQualityListAsksByTheSettings) {
    struct Case {
        const char* codecs;
        const char* audio;  // 默认音频质量
        bool ultraFormats;
        int fnval;
    };
    const Case cases[] = {
        {"", "", false, 80},         {"avc,hevc,av1", "高", false, 80}, {"broken", "低", false, 80},
        {"", "无损", false, 336},    {"", "杜比全景声", false, 336},    {"", "", true, 1616},
        {"av1", "无损", true, 3920},
    };
    for (const Case& c : cases) {
        DownloadSettings settings;
        settings.videoCodecs = c.codecs;
        settings.defaultAudioQuality = localText(c.audio);
        settings.ultraFormats = c.ultraFormats;
        EXPECT_EQ(fnvalFor(formatAskOf(settings)), c.fnval) << c.codecs << " " << c.audio;
    }
}

}  // namespace
}  // namespace quivra

#include "video/video_codec.h"

#include <gtest/gtest.h>

namespace quivra {
namespace {

constexpr VideoCodec A = VideoCodec::Avc, H = VideoCodec::Hevc, V = VideoCodec::Av1;

TEST(CodecOrder, ParsesNamesAndFillsTheRestInDefaultOrder) {
    struct Case {
        const char* text;
        std::vector<VideoCodec> order;
    };
    const Case cases[] = {{"", {A, H, V}},
                          {"  ", {A, H, V}},
                          {"hevc,av1,avc", {H, V, A}},
                          {" AV1 , Hevc ", {V, H, A}},
                          {"hevc", {H, A, V}},
                          {"av1", {V, A, H}}};
    for (const Case& c : cases) {
        const auto order = parseCodecOrder(c.text);
        ASSERT_TRUE(order) << c.text;
        EXPECT_EQ(*order, c.order) << c.text;
        EXPECT_EQ(parseCodecOrder(codecOrderText(*order)), order) << c.text;
    }
}

TEST(CodecOrder, RefusesUnknownAndRepeatedNames) {
    struct Case {
        const char* text;
        const char* unknown;
    };
    const Case cases[] = {{"vp9", "vp9"},
                          {"avc,h264", "h264"},
                          {"hevc,HEVC", "HEVC"},
                          {"avc,", ""},
                          {"avc;hevc", "avc;hevc"}};
    for (const Case& c : cases) {
        std::string unknown = "untouched";
        EXPECT_EQ(parseCodecOrder(c.text, &unknown), std::nullopt) << c.text;
        EXPECT_EQ(unknown, c.unknown) << c.text;
    }
}

TEST(CodecOrder, TextAndNames) {
    EXPECT_EQ(codecOrderText(defaultCodecOrder()), "avc,hevc,av1");
    EXPECT_EQ(codecOrderText({V, H, A}), "av1,hevc,avc");
    EXPECT_EQ(codecName(A) + codecName(H) + codecName(V), "AVCHEVCAV1");
}

}  // namespace
}  // namespace quivra

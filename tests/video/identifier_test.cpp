#include "video/identifier.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace quivra {
namespace {

TEST(AvToBvid, KnownNumbers) {
    EXPECT_EQ(avToBvid(170001), "BV17x411w7KC");
    EXPECT_EQ(avToBvid(2), "BV1xx411c7mD");
    EXPECT_EQ(avToBvid(0), "BV1xx411c7mX");
}

TEST(AvToBvid, OnlyTheLowThirtyTwoBitsCount) {
    const std::int64_t high = (std::int64_t{1} << 32) + 170001;
    EXPECT_EQ(avToBvid(high), "BV17x411w7KC");
    // 2^31 falls to a negative 32-bit value: a different identifier from 2^31 taken whole,
    // still twelve characters of the identifier alphabet.
    const std::string big = avToBvid(std::int64_t{1} << 31);
    EXPECT_EQ(big, avToBvid(-2147483648LL));
    EXPECT_NE(big, avToBvid(0));
    EXPECT_EQ(big.size(), 12u);
    EXPECT_EQ(avToBvid(-1), avToBvid(0xFFFFFFFFLL));
    for (std::int64_t n : {std::int64_t{-1}, std::int64_t{1} << 31, std::int64_t{INT64_MAX}}) {
        const std::string bvid = avToBvid(n);
        ASSERT_EQ(bvid.size(), 12u);
        EXPECT_EQ(bvid.substr(0, 3), "BV1");
        EXPECT_EQ(bvid[5], '4');
        EXPECT_EQ(bvid[7], '1');
        EXPECT_EQ(bvid[9], '7');
    }
}

// The av number turns back from each identifier avToBvid makes, also above 2^31; a text
// that is no such identifier gives none.
TEST(BvidToAv, TurnsBackWhatAvToBvidMade) {
    for (std::int64_t av : {std::int64_t{0}, std::int64_t{2}, std::int64_t{170001},
                            std::int64_t{1} << 31, std::int64_t{0xFFFFFFFF}}) {
        EXPECT_EQ(bvidToAv(avToBvid(av)), av) << av;
    }
    for (const char* text : {"", "BV1xx411c7m", "BV1xx411c7m0", "BV1xx511c7mD"}) {
        EXPECT_EQ(bvidToAv(text), std::nullopt) << text;
    }
}

TEST(ExtractBvid, AvNumberAnywhereInTheText) {
    EXPECT_EQ(extractBvid("av170001"), "BV17x411w7KC");
    EXPECT_EQ(extractBvid("https://www.quivra.com/video/av170001"), "BV17x411w7KC");
    EXPECT_EQ(extractBvid("https://www.quivra.com/video/av170001?p=2&t=30"), "BV17x411w7KC");
    EXPECT_EQ(extractBvid("av"), "BV1xx411c7mX");         // no digits: number 0
    EXPECT_EQ(extractBvid("avx170001"), "BV1xx411c7mX");  // digits must follow at once
    EXPECT_EQ(extractBvid("av 2"), "BV1xx411c7mX");
    EXPECT_EQ(extractBvid("av+2"), "BV1xx411c7mX");
    EXPECT_EQ(extractBvid("av99999999999999999999999"), avToBvid(INT64_MAX));
}

TEST(ExtractBvid, AvWinsOverBvAndTheFirstAvCounts) {
    EXPECT_EQ(extractBvid("BV1xx411c7mD av170001"), "BV17x411w7KC");
    // A BV identifier that itself contains "av": the digits after that "av" are used.
    EXPECT_EQ(extractBvid("https://www.quivra.com/video/BV1av2x1"), "BV1xx411c7mD");
    EXPECT_EQ(extractBvid("av2 av170001"), "BV1xx411c7mD");
}

TEST(ExtractBvid, BvTakesTwelveBytes) {
    EXPECT_EQ(extractBvid("BV17x411w7KC"), "BV17x411w7KC");
    EXPECT_EQ(extractBvid("https://www.quivra.com/video/BV17x411w7KC/?p=3"), "BV17x411w7KC");
    EXPECT_EQ(extractBvid("xBV17x4"), "BV17x4");  // shorter: passed on unchecked
}

TEST(ExtractBvid, RefusesTextWithoutAvOrBv) {
    EXPECT_EQ(extractBvid(""), std::nullopt);
    EXPECT_EQ(extractBvid("AV170001"), std::nullopt);
    EXPECT_EQ(extractBvid("bv17x411w7KC"), std::nullopt);
    EXPECT_EQ(extractBvid("https://www.quivra.com/"), std::nullopt);
}

TEST(ExtractBvid, NeverMatchesOnAGbkTrailByte) {
    // "\xB0\x61" is one GBK character ending in 'a': "av" does not start inside it.
    EXPECT_EQ(extractBvid("\xB0"
                          "av2 BV17x411w7KC"),
              "BV17x411w7KC");
    EXPECT_EQ(extractBvid("\xB0"
                          "av2"),
              std::nullopt);
    // "\xB0\x42" ends in 'B'.
    EXPECT_EQ(extractBvid("\xB0"
                          "BV17x411w7KC"),
              std::nullopt);
    EXPECT_EQ(extractBvid("\xB0\xB0"
                          "BV17x411w7KC"),
              "BV17x411w7KC");
}

}  // namespace
}  // namespace quivra

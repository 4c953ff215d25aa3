#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "account/qr_image.h"

namespace quivra {
namespace {

struct BmpFacts {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int bitsPerPixel = 0;
    std::uint32_t fileSize = 0;
};

std::uint32_t readLittleEndian(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    }
    return value;
}

BmpFacts readBmpFacts(const std::string& bmp) {
    BmpFacts facts;
    facts.fileSize = readLittleEndian(bmp, 2, 4);
    facts.width = static_cast<std::int32_t>(readLittleEndian(bmp, 18, 4));
    facts.height = static_cast<std::int32_t>(readLittleEndian(bmp, 22, 4));
    facts.bitsPerPixel = static_cast<int>(readLittleEndian(bmp, 28, 2));
    return facts;
}

// Colour index of pixel (x, y) of a 1-bit bottom-up BMP: 0 black, 1 white.
int pixelIndex(const std::string& bmp, int x, int y) {
    const BmpFacts facts = readBmpFacts(bmp);
    const std::uint32_t offset = readLittleEndian(bmp, 10, 4);
    const int rowBytes = ((facts.width + 31) / 32) * 4;
    const int row = facts.height - 1 - y;
    const auto byte = static_cast<unsigned char>(bmp.at(offset + row * rowBytes + x / 8));
    return (byte >> (7 - x % 8)) & 1;
}

// Decodes the picture with a real QR reader; "" when it finds no code.
std::string decodeWithZbar(const std::string& bmp) {
    char path[] = "/tmp/qr_image_testXXXXXX.bmp";
    const int fd = mkstemps(path, 4);
    if (fd < 0) return {};
    ::close(fd);
    {
        std::ofstream file(path, std::ios::binary);
        file << bmp;
    }
    const std::string command = std::string("zbarimg --raw -q '") + path + "' 2>/dev/null";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 512> buffer{};
        std::size_t got = 0;
        while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            output.append(buffer.data(), got);
        pclose(pipe);
    }
    std::remove(path);
    if (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

TEST(QrImage, ShortAddressDecodesBackAsSquareOneBitBmpSmallerThanThePicture) {
    std::string address = "http://127.0.0.1:8765/qrcode/approval?oauthKey=0123456789abcdef";
    const std::string bmp = makeQrImage(address, 0, 0, 0.15);
    ASSERT_GT(bmp.size(), 62u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    const BmpFacts facts = readBmpFacts(bmp);
    EXPECT_EQ(facts.fileSize, bmp.size());
    EXPECT_EQ(facts.bitsPerPixel, 1);
    EXPECT_EQ(facts.width, facts.height);
    EXPECT_GT(facts.width, 0);
    EXPECT_LT(facts.width, 400);
    // Cut without margin: the finder patterns reach three corners.
    const int last = facts.width - 1;
    EXPECT_EQ(pixelIndex(bmp, 0, 0), 0);
    EXPECT_EQ(pixelIndex(bmp, last, 0), 0);
    EXPECT_EQ(pixelIndex(bmp, 0, last), 0);
    EXPECT_EQ(decodeWithZbar(bmp), address);
}

TEST(QrImage, LongTextIsCutToItsFirst120BytesInTheCallersVariableAndTheCode) {
    std::string address = "https://login.example.test/qrcode/approval?oauthKey=";
    while (address.size() < 150) address += "k0123456789";
    const std::string expected = address.substr(0, 120);
    const std::string bmp = makeQrImage(address, 0, 1, 0.02);
    EXPECT_EQ(address, expected);
    ASSERT_FALSE(bmp.empty());
    EXPECT_EQ(decodeWithZbar(bmp), expected);

    std::string exact = expected;
    EXPECT_EQ(makeQrImage(exact, 0, 1, 0.02), bmp);
    EXPECT_EQ(exact, expected);
}

TEST(QrImage, SettingsOutsideTheirRangesAreClampedToTheNearestBound) {
    const std::string base = "clamp me";
    auto make = [&](int version, int level, double ratio) {
        std::string text = base;
        return makeQrImage(text, version, level, ratio);
    };
    const std::string reference = make(40, 0, 0.26);
    ASSERT_FALSE(reference.empty());
    EXPECT_EQ(make(41, 0, 0.26), reference);
    EXPECT_EQ(make(40, -1, 0.26), reference);
    EXPECT_EQ(make(40, 0, 0.3), reference);
    EXPECT_EQ(make(40, 0, 0.26 + 5e-8), reference);
    EXPECT_EQ(make(2, 0, 0.01), make(2, 0, 0.02));
    EXPECT_EQ(make(2, 7, 0.15), make(2, 4, 0.15));
    EXPECT_EQ(make(-3, 0, 0.15), make(0, 0, 0.15));

    // A larger margin leaves less room for the same symbol.
    EXPECT_GT(readBmpFacts(make(2, 0, 0.02)).width, readBmpFacts(make(2, 0, 0.26)).width);
    EXPECT_NE(make(2, 0, 0.15), make(2, 3, 0.15));
}

TEST(QrImage, DefaultsAreVersionZeroLevelZeroAndRatioPointFifteen) {
    std::string a = "defaults";
    std::string b = "defaults";
    EXPECT_EQ(makeQrImage(a), makeQrImage(b, 0, 0, 0.15));
}

TEST(QrImage, NothingToDrawGivesEmptyBytes) {
    std::string empty;
    EXPECT_TRUE(makeQrImage(empty).empty());

    // 120 bytes do not fit into a version 1 symbol, and the version is not grown.
    std::string tooLong(120, 'x');
    EXPECT_TRUE(makeQrImage(tooLong, 1, 3, 0.15).empty());

    std::string text = "nan ratio";
    const std::string withNan = makeQrImage(text, 0, 0, std::nan(""));
    EXPECT_EQ(withNan, makeQrImage(text, 0, 0, 0.15));
}

TEST(QrImage, BinaryBytesAreEncodedWhole) {
    std::string text("a\0b", 3);
    const std::string bmp = makeQrImage(text);
    ASSERT_FALSE(bmp.empty());
    EXPECT_NE(bmp, [] {
        std::string a = "a";
        return makeQrImage(a);
    }());
}

}  // namespace
}  // namespace quivra

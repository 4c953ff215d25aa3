#include "account/bmp_image.h"

#include <cstddef>

namespace quivra {

MonoImage::MonoImage(int width, int height) {
    if (width <= 0 || height <= 0) return;
    width_ = width;
    height_ = height;
    black_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
}

bool MonoImage::isBlack(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    return black_[static_cast<std::size_t>(y) * width_ + x] != 0;
}

void MonoImage::setBlack(int x, int y, bool black) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    black_[static_cast<std::size_t>(y) * width_ + x] = black ? 1 : 0;
}

MonoImage MonoImage::copyRect(int x, int y, int width, int height) const {
    MonoImage part(width, height);
    for (int row = 0; row < part.height_; ++row) {
        for (int column = 0; column < part.width_; ++column) {
            if (isBlack(x + column, y + row)) part.setBlack(column, row);
        }
    }
    return part;
}

namespace {

void putLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint32_t getLittleEndian(const std::string& in, std::size_t at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(in[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// Red + green + blue of a palette entry (blue, green, red, reserved).
int brightness(const std::string& bmp, std::size_t entry) {
    return static_cast<unsigned char>(bmp[entry]) + static_cast<unsigned char>(bmp[entry + 1]) +
           static_cast<unsigned char>(bmp[entry + 2]);
}

constexpr std::int32_t kLargestSide = 1 << 14;

}  // namespace

std::string toBmpFile(const MonoImage& image) {
    if (image.empty()) return {};
    const std::uint32_t width = static_cast<std::uint32_t>(image.width());
    const std::uint32_t height = static_cast<std::uint32_t>(image.height());
    const std::uint32_t rowBytes = ((width + 31) / 32) * 4;
    const std::uint32_t pixelBytes = rowBytes * height;
    const std::uint32_t headerBytes = 14 + 40 + 2 * 4;

    std::string out;
    out.reserve(headerBytes + pixelBytes);
    // File header.
    out += "BM";
    putLittleEndian(out, headerBytes + pixelBytes, 4);
    putLittleEndian(out, 0, 4);
    putLittleEndian(out, headerBytes, 4);
    // Information header.
    putLittleEndian(out, 40, 4);
    putLittleEndian(out, width, 4);
    putLittleEndian(out, height, 4);  // positive: rows bottom-up
    putLittleEndian(out, 1, 2);       // planes
    putLittleEndian(out, 1, 2);       // bits per pixel
    putLittleEndian(out, 0, 4);       // no compression
    putLittleEndian(out, pixelBytes, 4);
    putLittleEndian(out, 2835, 4);  // 72 dpi
    putLittleEndian(out, 2835, 4);
    putLittleEndian(out, 2, 4);  // colours used
    putLittleEndian(out, 2, 4);  // colours important
    // Palette: index 0 black, index 1 white (blue, green, red, reserved).
    putLittleEndian(out, 0x00000000, 4);
    putLittleEndian(out, 0x00FFFFFF, 4);

    for (int y = image.height() - 1; y >= 0; --y) {
        std::string row(rowBytes, '\0');
        for (int x = 0; x < image.width(); ++x) {
            if (!image.isBlack(x, y)) row[x / 8] |= static_cast<char>(0x80 >> (x % 8));
        }
        out += row;
    }
    return out;
}

MonoImage fromBmpFile(const std::string& bmp) {
    constexpr std::size_t kHeaders = 14 + 40;
    if (bmp.size() < kHeaders + 8 || bmp.compare(0, 2, "BM") != 0) return {};
    const std::uint32_t pixelsAt = getLittleEndian(bmp, 10, 4);
    const std::uint32_t infoBytes = getLittleEndian(bmp, 14, 4);
    const auto width = static_cast<std::int32_t>(getLittleEndian(bmp, 18, 4));
    const auto height = static_cast<std::int32_t>(getLittleEndian(bmp, 22, 4));
    const bool bottomUp = height > 0;
    const std::int32_t rows = bottomUp ? height : -height;
    if (infoBytes < 40 || getLittleEndian(bmp, 28, 2) != 1 || getLittleEndian(bmp, 30, 4) != 0 ||
        width <= 0 || width > kLargestSide || rows <= 0 || rows > kLargestSide) {
        return {};
    }
    const std::size_t palette = 14 + infoBytes;
    const std::size_t rowBytes = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
    if (palette + 8 > bmp.size() || pixelsAt + rowBytes * rows > bmp.size()) return {};
    const int blackIndex = brightness(bmp, palette) <= brightness(bmp, palette + 4) ? 0 : 1;

    MonoImage image(width, rows);
    for (int y = 0; y < rows; ++y) {
        const std::size_t row = pixelsAt + rowBytes * (bottomUp ? rows - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            const int index = (static_cast<unsigned char>(bmp[row + x / 8]) >> (7 - x % 8)) & 1;
            if (index == blackIndex) image.setBlack(x, y);
        }
    }
    return image;
}

}  // namespace quivra

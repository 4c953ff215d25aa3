// A black-and-white picture in memory and its 1-bit BMP file image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quivra {

class MonoImage {
  public:
    MonoImage() = default;
    // A width x height picture, all white. Non-positive sizes give an empty picture.
    MonoImage(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }

    // Pixels outside the picture read as white and ignore writes.
    bool isBlack(int x, int y) const;
    void setBlack(int x, int y, bool black = true);

    // The part (x, y, width, height) of this picture; what lies outside it is white.
    MonoImage copyRect(int x, int y, int width, int height) const;

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> black_;  // one byte a pixel, row by row from the top
};

// A complete BMP file with a two-colour palette (index 0 black, index 1 white), bottom-up
// rows padded to 4 bytes. An empty picture gives empty bytes.
std::string toBmpFile(const MonoImage& image);

// The picture of a 1-bit uncompressed BMP file image (rows bottom-up or top-down; the
// darker palette colour is black), or an empty picture when the bytes are not one.
MonoImage fromBmpFile(const std::string& bmp);

}  // namespace quivra

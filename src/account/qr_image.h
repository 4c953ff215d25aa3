// The QR-code picture of the login address: a 1-bit BMP of the square symbol, cut out of
// its white margin.
#pragma once

#include <optional>
#include <string>

namespace quivra {

// Longest text that is encoded; longer texts are cut (the caller's variable too).
inline constexpr std::size_t kQrTextLimit = 120;

// Renders text (local text bytes) as a QR code into a 400 x 400 picture with a white
// margin and returns the BMP file image of the symbol alone, or empty bytes when nothing
// could be made. version: 0 picks the smallest that fits, 1..40 exactly that one (clamped
// to 0..40, default 0). level: error correction 0 L, 1 M, 2 Q, 3 and 4 H (clamped to 0..4,
// default 0). ratio: the margin on each side as a share of the picture's side (clamped to
// 0.02..0.26 with a tolerance of 1e-7, default 0.15).
std::string makeQrImage(std::string& text, std::optional<int> version = std::nullopt,
                        std::optional<int> level = std::nullopt,
                        std::optional<double> ratio = std::nullopt);

}  // namespace quivra

#include "account/qr_image.h"

#include <qrencode.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "account/bmp_image.h"

namespace quivra {
namespace {

constexpr int kPictureSide = 400;
constexpr double kRatioTolerance = 1e-7;

double clampRatio(std::optional<double> given) {
    const double ratio = given.value_or(0.15);
    if (std::isnan(ratio)) return 0.15;
    if (ratio < 0.02 - kRatioTolerance) return 0.02;
    if (ratio > 0.26 + kRatioTolerance) return 0.26;
    return ratio;
}

QRecLevel levelFor(int level) {
    switch (level) {
        case 0:
            return QR_ECLEVEL_L;
        case 1:
            return QR_ECLEVEL_M;
        case 2:
            return QR_ECLEVEL_Q;
        default:
            return QR_ECLEVEL_H;
    }
}

struct QrCodeDeleter {
    void operator()(QRcode* code) const { QRcode_free(code); }
};
using QrCodePtr = std::unique_ptr<QRcode, QrCodeDeleter>;

QrCodePtr encode(const std::string& text, int version, QRecLevel level) {
    if (text.empty()) return nullptr;
    QrCodePtr code(QRcode_encodeData(static_cast<int>(text.size()),
                                     reinterpret_cast<const unsigned char*>(text.data()), version,
                                     level));
    // The library grows a fixed version that is too small; a fixed version is kept here.
    if (code && version != 0 && code->version != version) return nullptr;
    return code;
}

// The symbol drawn black on white in the middle of a 400 x 400 picture, with the margin
// the ratio asks for and whole pixels per module.
MonoImage render(const QRcode& code, double ratio) {
    const int margin = static_cast<int>(std::lround(ratio * kPictureSide));
    const int room = kPictureSide - 2 * margin;
    const int modulePixels = room / code.width;
    MonoImage picture(kPictureSide, kPictureSide);
    if (modulePixels < 1) return picture;
    const int offset = margin + (room - modulePixels * code.width) / 2;
    for (int row = 0; row < code.width; ++row) {
        for (int column = 0; column < code.width; ++column) {
            if ((code.data[row * code.width + column] & 1) == 0) continue;
            for (int dy = 0; dy < modulePixels; ++dy) {
                for (int dx = 0; dx < modulePixels; ++dx) {
                    picture.setBlack(offset + column * modulePixels + dx,
                                     offset + row * modulePixels + dy);
                }
            }
        }
    }
    return picture;
}

// The symbol's top-left corner: the first black pixel, column by column, top to bottom.
void findCorner(const MonoImage& picture, int& x0, int& y0) {
    x0 = 0;
    y0 = 0;
    for (int x = 0; x < picture.width(); ++x) {
        for (int y = 0; y < picture.height(); ++y) {
            if (picture.isBlack(x, y)) {
                x0 = x;
                y0 = y;
                return;
            }
        }
    }
}

// The symbol's side: the last length at which both its top row and its left column end
// in a black pixel (the finder patterns sit at both ends of each).
int findSize(const MonoImage& picture, int x0, int y0) {
    const int last = kPictureSide - 1;
    int size = 0;
    for (int i = 1; i <= last && x0 + i - 1 < last && y0 + i - 1 < last; ++i) {
        if (picture.isBlack(x0 + i - 1, y0) && picture.isBlack(x0, y0 + i - 1)) size = i;
    }
    return size;
}

}  // namespace

std::string makeQrImage(std::string& text, std::optional<int> version, std::optional<int> level,
                        std::optional<double> ratio) {
    if (text.size() > kQrTextLimit) text.resize(kQrTextLimit);
    const int usedVersion = std::clamp(version.value_or(0), 0, 40);
    const int usedLevel = std::clamp(level.value_or(0), 0, 4);
    const double usedRatio = clampRatio(ratio);

    const QrCodePtr code = encode(text, usedVersion, levelFor(usedLevel));
    if (!code) return {};
    const MonoImage picture = render(*code, usedRatio);

    int x0 = 0;
    int y0 = 0;
    findCorner(picture, x0, y0);
    const int size = findSize(picture, x0, y0);
    return toBmpFile(picture.copyRect(x0, y0, size, size));
}

}  // namespace quivra

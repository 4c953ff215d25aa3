#include "app/cli/qr_art.h"

#include "account/bmp_image.h"

namespace quivra {
namespace {

constexpr int kMargin = 2;         // light modules around the symbol
constexpr int kFinderModules = 7;  // the finder pattern's side
const char* const kWhiteOnBlack = "\x1b[97;40m";
const char* const kResetColour = "\x1b[0m";

// The symbol as modules, true = dark: the picture's first row starts with the top-left
// finder pattern, seven modules of black, which gives the size of one module.
std::vector<std::vector<bool>> readModules(const MonoImage& picture) {
    const auto dark = [&](int x, int y) { return picture.isBlack(x, y); };
    int run = 0;
    while (run < picture.width() && dark(run, 0)) ++run;
    const int module = run / kFinderModules;
    if (module < 1 || picture.width() != picture.height() || picture.width() % module != 0) {
        return {};
    }
    const int side = picture.width() / module;
    std::vector<std::vector<bool>> modules(side, std::vector<bool>(side));
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            modules[y][x] = dark(x * module + module / 2, y * module + module / 2);
        }
    }
    return modules;
}

}  // namespace

std::vector<std::string> qrArtLines(const std::string& bmp, bool colour) {
    const MonoImage picture = fromBmpFile(bmp);
    if (picture.empty()) return {};
    const std::vector<std::vector<bool>> modules = readModules(picture);
    if (modules.empty()) return {};
    const int side = static_cast<int>(modules.size());
    const auto light = [&](int x, int y) {
        x -= kMargin;
        y -= kMargin;
        return x < 0 || y < 0 || x >= side || y >= side || !modules[y][x];
    };
    const int drawn = side + 2 * kMargin;
    std::vector<std::string> lines;
    for (int y = 0; y < drawn; y += 2) {
        std::string line = colour ? kWhiteOnBlack : "";
        for (int x = 0; x < drawn; ++x) {
            const bool upper = light(x, y);
            const bool lower = y + 1 < drawn ? light(x, y + 1) : false;
            line += upper && lower ? "█" : upper ? "▀" : lower ? "▄" : " ";
        }
        if (colour) line += kResetColour;
        lines.push_back(line);
    }
    return lines;
}

}  // namespace quivra

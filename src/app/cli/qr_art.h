// The login QR code drawn in a terminal with Unicode half blocks.
#pragma once

#include <string>
#include <vector>

namespace quivra {

// The lines that draw the QR picture (the BMP file image of the symbol without margin, as
// the QR image maker makes it), two module rows per line, with a light margin of two
// modules: a light module is ink ('█', '▀', '▄'), a dark one blank, as on a dark terminal.
// colour: each line forces white ink on black, for terminals of any background.
// Empty when the picture cannot be read.
std::vector<std::string> qrArtLines(const std::string& bmp, bool colour);

}  // namespace quivra

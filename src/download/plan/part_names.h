// How a part's MP4 is named: <directory>/<video title>/NN_<page name>.mp4, as the window
// lists it and the job writes it.
#pragma once

#include <string>

namespace quivra {

// NN: row index + 1 in decimal, at least two digits.
std::string rowNumberText(int row);
// The page title cleaned for a file name, blanks as "_".
std::string pageName(const std::string& pageTitle);
// <directory>/<video title>/NN_<page name><extension> (local text), the page name cut so
// that the file name fits the file system.
std::string outputFilePath(const std::string& directory, const std::string& videoTitle, int row,
                           const std::string& pageTitle, const std::string& extension = ".mp4");

}  // namespace quivra

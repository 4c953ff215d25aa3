// The pieces of a part's name as the window lists it: NN and the page name (the file's
// whole path: file_template.h).
#pragma once

#include <string>

namespace quivra {

// NN: row index + 1 in decimal, at least two digits.
std::string rowNumberText(int row);
// The page title cleaned for a file name, blanks as "_".
std::string pageName(const std::string& pageTitle);

}  // namespace quivra

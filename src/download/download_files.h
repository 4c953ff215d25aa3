// The file operations of the download buttons and jobs. Paths are local text.
#pragma once

#include <string>

namespace quivra {

// Creates the folder with every missing level; true when it exists afterwards.
bool ensureFolder(const std::string& path);

// Whether anything exists under the path.
bool fileExists(const std::string& path);

// Removes the file if it is there; the result is not reported.
void deleteFile(const std::string& path);

}  // namespace quivra

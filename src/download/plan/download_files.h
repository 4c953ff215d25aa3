// The file operations of the download buttons and jobs. Paths are local text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quivra {

// Creates the folder with every missing level; true when it exists afterwards.
bool ensureFolder(const std::string& path);

// Whether the path holds a finished download: a file with something in it (an empty
// file or a folder there is not one).
bool isFinishedOutput(const std::string& path);

// The size of the file at the path in bytes; 0 when there is none.
std::int64_t fileSize(const std::string& path);

// Bytes one name of a file or folder may take on the file system, in UTF-8.
inline constexpr std::size_t kNameBytes = 255;

// The video's folder under the download folder: its cleaned title cut to fit, or its BV
// identifier when the title is empty (so that such videos do not share the root).
std::string videoFolderName(const std::string& title, const std::string& bvid);

// Removes the file if it is there; the result is not reported.
void deleteFile(const std::string& path);

}  // namespace quivra

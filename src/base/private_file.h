// Files that hold credentials: replaced whole and readable by their owner only.
#pragma once

#include <string>

namespace quivra {

// Writes content to a temporary file beside path (mode 0600), flushes it to disk and
// renames it over path, so that path holds either the old or the new content, never a
// part. No temporary file is left behind. False when any step fails.
bool replaceFilePrivately(const std::string& path, const std::string& content);

// Takes group and other permissions away from an existing file; false when it could not.
bool makeFilePrivate(const std::string& path);

}  // namespace quivra

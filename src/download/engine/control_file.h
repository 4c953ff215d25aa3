// The control file "<file>.aria2" that the engine keeps beside a partial file and resumes
// from. Paths are UTF-8.
#pragma once

#include <string>

namespace quivra {

// Whether the engine can read the control file: it opens and holds one whole record of
// the engine's layout, nothing missing and nothing after it. A full disk leaves an empty
// or cut one, from which every resume fails.
bool isReadableControlFile(const std::string& controlPath);

// Removes a partial file together with a control file the engine cannot read, so that the
// next task for it fetches the file anew. A missing or readable control file is left.
void dropUnresumablePartial(const std::string& filePath);

}  // namespace quivra

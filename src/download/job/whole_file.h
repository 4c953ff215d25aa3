// A small file the job makes beside a part's (a cover, a subtitle), never seen half-written.
#pragma once

#include <string>

namespace quivra {

// Writes the bytes beside the target (UTF-8 path) as "<target>.part", syncs them and renames
// them into place; false, with nothing left under the part name, when any of it failed.
bool saveWholeFile(const std::string& bytes, const std::string& utf8Target);

}  // namespace quivra

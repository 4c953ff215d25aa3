// extractBvid on arbitrary input: an av number always gives a well-formed identifier,
// a "BV" identifier is a piece of the input.
#include <cstdlib>
#include <cstring>
#include <string>

#include "video/identifier.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::string> bvid = quivra::extractBvid(text);
    if (!bvid) return 0;
    if (bvid->size() > 12 || !bvid->starts_with("BV")) std::abort();
    if (text.find(*bvid) == std::string::npos) {
        // Only the av path makes up a new identifier: BV1 plus base-58 digits.
        static const char alphabet[] = "fZodR9XQDSUm21yCkr6zBqiveYah8bt4xsWpHnJE7jL5VG3guMTKNPAwcF";
        if (bvid->size() != 12 || !bvid->starts_with("BV1")) std::abort();
        for (char c : bvid->substr(3)) {
            if (!std::strchr(alphabet, c) || c == '\0') std::abort();
        }
    }
    return 0;
}

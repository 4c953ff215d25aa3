// The boundary between local text (GBK) and the UTF-8 held in JSON documents.
// Pure ASCII passes straight through; everything else goes through text_encoding.
#pragma once

#include <string>

namespace quivra {

std::string jsonTextFromLocal(const std::string& local);
std::string jsonTextToLocal(const std::string& utf8);

// Replaces every U+2400 (the stored stand-in for a backslash) by a backslash.
void restoreBackslashes(std::string& utf8);

// Replaces every backslash by U+2400.
std::string hideBackslashes(const std::string& utf8);

// The UTF-8 bytes of U+2400.
inline constexpr const char* kBackslashPlaceholder = "\xE2\x90\x80";

}  // namespace quivra

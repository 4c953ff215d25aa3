// Conversions between the program's local text (GBK bytes) and UTF-8 / UTF-16.
// This is the only module that calls iconv.
#pragma once

#include <string>

namespace quivra {

// UTF-8 bytes to local text. Ends at the first zero character; a character GBK lacks,
// and every invalid UTF-8 sequence, becomes '?'. Empty input gives "".
std::string utf8ToLocalText(const std::string& utf8);

// Local text to UTF-8 (for HTTP, JSON, PCRE2, Qt, paths, command lines).
std::string localToUtf8(const std::string& local);

// Local text to UTF-16 code units, and back.
std::u16string localToUtf16(const std::string& local);
std::string utf16ToLocal(const std::u16string& utf16);

// A UTF-8 literal of the source code as local text: localText("下载完成").
std::string localText(const char* utf8);

}  // namespace quivra

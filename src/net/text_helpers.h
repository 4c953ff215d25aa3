// Small text routines shared by several subsystems. Texts are local text (GBK).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quivra {

std::string base64Encode(const std::string& bytes);

// Splits local text into characters: a lead byte >= 0x81 takes the next byte with it,
// CR LF is one character. Replaces the array's contents; returns the count.
int splitCharacters(const std::string& text, std::vector<std::string>& characters);

// The value of a hexadecimal digit in either case, or -1.
int hexDigitValue(char c);

// The code point as UTF-8; a lone surrogate or one past U+10FFFF as U+FFFD.
void appendUtf8(std::string& out, std::uint32_t codePoint);

// A to Z as a to z; every other byte as it is (GBK trail bytes too).
std::string lowerAscii(std::string text);

// Trims blanks (" ") at both ends.
std::string trimBlanks(const std::string& text);

// Byte position (0-based) of needle in haystack, never starting on a GBK trail byte;
// std::string::npos when absent.
size_t findLocal(const std::string& haystack, const std::string& needle, size_t from = 0);

}  // namespace quivra

// How one line of a profile (INI) file reads, shared by the reader and the writer of
// config.ini so that both see the same sections and keys.
#pragma once

#include <string>
#include <string_view>

namespace quivra {

struct ProfileLine {
    enum class Kind { Other, Section, Item };
    Kind kind = Kind::Other;
    std::string name;   // section or key name, blanks trimmed
    std::string value;  // item value, blanks trimmed, cut at a zero byte
};

// Classifies a line given without its line break (a trailing CR is allowed).
ProfileLine readProfileLine(std::string_view line);

// Section and key names compare without regard to ASCII case; GBK characters compare
// byte for byte.
bool sameProfileName(std::string_view a, std::string_view b);

// A name argument as the profile API takes it: leading bytes 1..32 skipped, cut at a
// zero byte.
std::string profileNameArgument(std::string_view name);

}  // namespace quivra

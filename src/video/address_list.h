// Many addresses in one text: what the batch window's box, a file or standard input hold.
#pragma once

#include <string>
#include <vector>

namespace quivra {

// The addresses of text (local text), in order: pieces between blanks, line breaks, tabs,
// commas, semicolons and their full-width forms (also 、 and the ideographic blank). A
// piece naming a video already named (by any form: an av number and its BV identifier are
// one video) is dropped; a piece naming none is kept once, so its parse can say why.
std::vector<std::string> splitAddresses(const std::string& text);

}  // namespace quivra

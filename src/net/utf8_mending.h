// Answers the site sends are meant to be UTF-8 JSON, but some carry a cut multibyte
// sequence, bytes that are no UTF-8, or half of a surrogate pair in a \u escape. The
// JSON reader refuses those; the mended text reads them as U+FFFD and everything else
// as sent.
#pragma once

#include <string>
#include <string_view>

namespace quivra {

// The text with every ill-formed UTF-8 sequence (each maximal subpart) replaced by U+FFFD,
// and, inside JSON strings, every unpaired surrogate escape by \ufffd.
std::string mendUtf8Json(std::string_view text);

}  // namespace quivra

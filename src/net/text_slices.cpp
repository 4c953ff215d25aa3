#include "net/text_slices.h"

#include "net/text_encoding.h"
#include "net/text_helpers.h"

namespace quivra {
namespace {

void replaceQuotePlaceholder(std::string& marker) {
    static const std::string placeholder = localText("#引号");
    std::string out;
    size_t start = 0;
    size_t at;
    while ((at = findLocal(marker, placeholder, start)) != std::string::npos) {
        out.append(marker, start, at - start);
        out += '"';
        start = at + placeholder.size();
    }
    out.append(marker, start, std::string::npos);
    marker = std::move(out);
}

}  // namespace

std::string textBefore(const std::string& text, const std::string& separator) {
    size_t at = findLocal(text, separator);
    return at == std::string::npos ? std::string() : text.substr(0, at);
}

std::string textBetween(const std::string& text, std::string startMarker, std::string endMarker) {
    replaceQuotePlaceholder(startMarker);
    replaceQuotePlaceholder(endMarker);
    size_t start = findLocal(text, startMarker);
    if (start == std::string::npos) return {};
    start += startMarker.size();
    size_t end = findLocal(text, endMarker, start);
    if (end == std::string::npos) return {};
    return text.substr(start, end - start);
}

size_t findNoCase(const std::string& haystack, const std::string& needle, size_t from) {
    // Lower-casing changes only ASCII letters, never a lead byte, so byte positions and
    // character boundaries stay as they were.
    return findLocal(lowerAscii(haystack), lowerAscii(needle), from);
}

std::string removeNoCase(const std::string& text, const std::string& needle) {
    if (needle.empty()) return text;
    const std::string lowered = lowerAscii(text);
    const std::string loweredNeedle = lowerAscii(needle);
    std::string out;
    size_t start = 0;
    size_t at;
    while ((at = findLocal(lowered, loweredNeedle, start)) != std::string::npos) {
        out.append(text, start, at - start);
        start = at + needle.size();
    }
    out.append(text, start, std::string::npos);
    return out;
}

}  // namespace quivra

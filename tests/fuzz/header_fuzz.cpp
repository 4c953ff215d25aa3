// Response and request header text on arbitrary bytes: the header lines as they come off
// the wire (UTF-8, read into local text), the Set-Cookie collection, and the request
// header routines that the same text may reach when a caller passes it back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "net/header_text.h"
#include "net/text_encoding.h"

namespace {

bool hasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string url = input.ConsumeRandomLengthString(64);
    const bool isPost = input.ConsumeBool();
    const std::string wire = input.ConsumeRemainingBytesAsString();

    // The block as the request routine builds it: each received line in local text,
    // without its break, followed by CR LF; one more CR LF at the end.
    std::string block;
    size_t start = 0;
    while (start < wire.size()) {
        size_t end = wire.find('\n', start);
        std::string line = wire.substr(start, end == std::string::npos ? end : end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (line.starts_with("HTTP/")) {
            block.clear();
        } else if (!line.empty()) {
            block += quivra::utf8ToLocalText(line) + "\r\n";
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    block += "\r\n";

    const std::string cookies = quivra::collectSetCookies(block);
    if (hasLineBreak(cookies)) std::abort();

    quivra::headerFields(block);
    const std::string normalized = quivra::normalizeHeaderNames(block);
    if (quivra::normalizeHeaderNames(normalized) != normalized) std::abort();
    for (const auto& line : quivra::splitLines(normalized)) {
        if (!line.empty() && line.find(':') == std::string::npos) std::abort();
    }
    const std::string withDefaults = quivra::withDefaultHeaders(wire, url, isPost);
    if (!withDefaults.starts_with(wire)) std::abort();
    quivra::splitHeaderLine(wire);
    quivra::capitalizeFirst(wire);
    return 0;
}

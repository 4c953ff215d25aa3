#include "download/engine/download_engine.h"
#include "net/text_helpers.h"

namespace quivra {

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.size() > prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool isEngineAddress(const std::string& url) {
    const std::string lower = lowerAscii(url);
    if (!startsWith(lower, "http://") && !startsWith(lower, "https://")) return false;
    // A torrent or metalink file would be worth nothing as a stream even when fetched as
    // plain bytes: it names other sources.
    const std::string path = lower.substr(0, lower.find_first_of("?#"));
    return !endsWith(path, ".torrent") && !endsWith(path, ".metalink") && !endsWith(path, ".meta4");
}

std::string withLowerCaseScheme(const std::string& url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string::npos) return url;
    return lowerAscii(url.substr(0, colon)) + url.substr(colon);
}

}  // namespace quivra

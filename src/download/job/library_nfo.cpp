#include "download/job/library_nfo.h"

namespace quivra {

namespace {

// Escaped, and without the control characters XML 1.0 cannot hold at all.
std::string xmlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (byte >= 0x20 || c == '\n' || c == '\t' || c == '\r') {
            out += c;
        }
    }
    return out;
}

std::string element(const char* name, const std::string& text) {
    if (text.empty()) return {};
    return std::string("  <") + name + ">" + xmlText(text) + "</" + name + ">\n";
}

std::string document(const char* root, const LibraryEntry& entry, const std::string& extra) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<";
    xml += root;
    xml += ">\n" + element("title", entry.title) + element("plot", entry.plot) + extra +
           element("studio", entry.studio);
    if (!entry.uniqueId.empty()) {
        xml += "  <uniqueid type=\"quivra\" default=\"true\">" + xmlText(entry.uniqueId) +
               "</uniqueid>\n";
    }
    xml += element("thumb", entry.thumb);
    return xml + "</" + root + ">\n";
}

}  // namespace

std::string movieNfo(const LibraryEntry& entry) {
    return document(
        "movie", entry,
        element("premiered", entry.premiered) + element("year", entry.premiered.substr(0, 4)));
}

std::string episodeNfo(const LibraryEntry& entry) {
    return document("episodedetails", entry,
                    element("season", "1") + element("episode", std::to_string(entry.episode)) +
                        element("aired", entry.premiered));
}

std::string tvshowNfo(const LibraryEntry& entry) {
    return document("tvshow", entry, element("premiered", entry.premiered));
}

}  // namespace quivra

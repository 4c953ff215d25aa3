#include "net/header_text.h"

#include "net/text_helpers.h"
#include "net/text_slices.h"

namespace quivra {
namespace {

const std::string kLineBreak = "\r\n";

// Splits at "-": empty parts inside and at the start are kept, an empty last part is
// dropped.
std::vector<std::string> splitAtDash(const std::string& name) {
    std::vector<std::string> parts;
    size_t start = 0;
    size_t dash;
    while ((dash = name.find('-', start)) != std::string::npos) {
        parts.push_back(name.substr(start, dash - start));
        start = dash + 1;
    }
    if (start < name.size()) parts.push_back(name.substr(start));
    return parts;
}

std::string normalizedName(const std::string& name) {
    if (name.find('-') == std::string::npos) return capitalizeFirst(name);
    std::string joined;
    for (const auto& part : splitAtDash(name)) {
        joined += capitalizeFirst(part);
        joined += '-';
    }
    if (!joined.empty()) joined.pop_back();
    return joined;
}

bool isKeepAliveLine(const HeaderField& field) {
    return field.name == "Connection" && field.value == "keep-alive";
}

}  // namespace

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t at;
    while ((at = text.find(kLineBreak, start)) != std::string::npos) {
        lines.push_back(text.substr(start, at - start));
        start = at + kLineBreak.size();
    }
    lines.push_back(text.substr(start));
    return lines;
}

std::string capitalizeFirst(const std::string& part) {
    std::string out = part;
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 32);
    return out;
}

std::string withDefaultHeaders(const std::string& headers, const std::string& url, bool isPost) {
    std::string text = headers;
    auto addUnless = [&text](const std::string& name, const std::string& line) {
        if (findNoCase(text, name + ":") == std::string::npos) text += kLineBreak + line;
    };
    addUnless("Accept", "Accept: */*");
    addUnless("Referer", "Referer: " + url);
    addUnless("Accept-Language", "Accept-Language: zh-cn");
    addUnless("User-Agent", "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    if (isPost) addUnless("Content-Type", "Content-Type: application/x-www-form-urlencoded");
    return text;
}

std::string normalizeHeaderNames(const std::string& headerText) {
    std::string out;
    bool first = true;
    for (const auto& line : splitLines(headerText)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = normalizedName(line.substr(0, colon));
        // The new name, then as many of the line's last characters as the line is longer
        // than the new name: a dropped trailing "-" thus comes back from the line.
        std::string rebuilt = name + line.substr(name.size());
        if (!first) out += kLineBreak;
        out += rebuilt;
        first = false;
    }
    return out;
}

HeaderField splitHeaderLine(const std::string& line) {
    size_t colon = line.find(':');
    if (colon == std::string::npos) return {};
    return {trimBlanks(line.substr(0, colon)), trimBlanks(line.substr(colon + 1))};
}

std::vector<HeaderField> headerFields(const std::string& headerText) {
    std::vector<HeaderField> fields;
    for (const auto& line : splitLines(headerText)) {
        if (line.empty()) continue;
        HeaderField field = splitHeaderLine(line);
        if (isKeepAliveLine(field)) continue;
        fields.push_back(std::move(field));
    }
    return fields;
}

std::string collectSetCookies(const std::string& responseHeaders) {
    std::string cookies;
    for (const auto& line : splitLines(responseHeaders)) {
        if (textBefore(line, ": ") != "Set-Cookie") continue;
        std::string pair;
        if (line.find(';') != std::string::npos) {
            pair = trimBlanks(textBetween(line, "Set-Cookie:", ";"));
        } else {
            pair = trimBlanks(removeNoCase(line, "Set-Cookie:"));
        }
        // A stray CR or LF inside a line would make the Cookie header unsendable.
        cookies += pair.substr(0, pair.find_first_of("\r\n")) + "; ";
    }
    if (!cookies.empty()) cookies.resize(cookies.size() - 2);
    return cookies;
}

}  // namespace quivra

#include "video/comments/danmaku.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "net/text_helpers.h"

namespace quivra {

namespace {

// XML's five named entities and character references; anything else stays as written.
std::string decodeEntities(std::string_view text) {
    static constexpr struct {
        std::string_view name;
        char value;
    } kNamed[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t end = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
        if (end == std::string_view::npos || end - i > 10) {
            out += text[i];
            continue;
        }
        const std::string_view name = text.substr(i + 1, end - i - 1);
        bool decoded = false;
        if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            unsigned long code = 0;
            const auto [at, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
            if (error == std::errc() && at == digits.data() + digits.size() && !digits.empty()) {
                appendUtf8(out, code == 0 ? 0xFFFD
                                          : static_cast<std::uint32_t>(std::min(code, 0x110000UL)));
                decoded = true;
            }
        } else {
            for (const auto& entity : kNamed) {
                if (name == entity.name) {
                    out += entity.value;
                    decoded = true;
                }
            }
        }
        if (decoded) {
            i = end;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The value of attribute `name` in a start tag's text; npos-free: "" when absent.
std::string_view attribute(std::string_view tag, std::string_view name) {
    for (std::size_t at = tag.find(name); at != std::string_view::npos;
         at = tag.find(name, at + 1)) {
        const bool starts = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                       tag[at - 1] == '\n' || tag[at - 1] == '\r');
        std::size_t eq = at + name.size();
        while (eq < tag.size() && tag[eq] == ' ') ++eq;
        if (!starts || eq >= tag.size() || tag[eq] != '=') continue;
        std::size_t open = eq + 1;
        while (open < tag.size() && tag[open] == ' ') ++open;
        if (open >= tag.size() || (tag[open] != '"' && tag[open] != '\'')) return {};
        const std::size_t close = tag.find(tag[open], open + 1);
        if (close == std::string_view::npos) return {};
        return tag.substr(open + 1, close - open - 1);
    }
    return {};
}

template <typename Number>
bool readNumber(std::string_view text, Number& value) {
    const auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && at == text.data() + text.size();
}

DanmakuMode modeOf(int mode) {
    if (mode >= 1 && mode <= 3) return DanmakuMode::Scrolling;
    if (mode == 4) return DanmakuMode::Bottom;
    if (mode == 5) return DanmakuMode::Top;
    return DanmakuMode::Special;
}

// time,mode,size,color,... into the comment; false when a field is missing or no number.
bool readFields(std::string_view p, Danmaku& comment) {
    std::string_view fields[4];
    for (std::string_view& field : fields) {
        const std::size_t comma = p.find(',');
        if (p.empty()) return false;
        field = p.substr(0, comma);
        p = comma == std::string_view::npos ? std::string_view() : p.substr(comma + 1);
    }
    double seconds = 0;
    int mode = 0;
    std::uint32_t color = 0;
    if (!readNumber(fields[0], seconds) || !readNumber(fields[1], mode) ||
        !readNumber(fields[2], comment.size) || !readNumber(fields[3], color) || seconds < 0) {
        return false;
    }
    comment.seconds = seconds;
    comment.mode = modeOf(mode);
    comment.color = color & 0xFFFFFF;
    return true;
}

// Past the XML declaration, comments and blanks before the root element.
std::size_t rootStart(std::string_view xml) {
    std::size_t at = 0;
    for (;;) {
        while (at < xml.size() &&
               (xml[at] == ' ' || xml[at] == '\n' || xml[at] == '\r' || xml[at] == '\t')) {
            ++at;
        }
        if (xml.substr(at, 2) == "<?") {
            at = xml.find("?>", at);
        } else if (xml.substr(at, 4) == "<!--") {
            at = xml.find("-->", at);
        } else {
            return at;
        }
        if (at == std::string_view::npos) return at;
        at += 2;
    }
}

}  // namespace

DanmakuList parseDanmakuXml(std::string_view xml) {
    DanmakuList list;
    if (xml.starts_with("\xEF\xBB\xBF")) xml.remove_prefix(3);
    const std::size_t root = rootStart(xml);
    if (root == std::string_view::npos || xml.substr(root, 2) != "<i" ||
        (root + 2 < xml.size() && xml[root + 2] != '>' && xml[root + 2] != ' ')) {
        list.problem = "弹幕不是XML";
        return list;
    }
    std::size_t at = root;
    // Sought again only once passed: looked for at every comment, the end's search would
    // make the whole read quadratic in the list's length.
    std::size_t rootEnd = xml.find("</i>", at);
    for (;;) {
        const std::size_t open = xml.find("<d", at);
        if (rootEnd != std::string_view::npos && rootEnd < at) rootEnd = xml.find("</i>", at);
        if (open == std::string_view::npos ||
            (rootEnd != std::string_view::npos && rootEnd < open)) {
            if (rootEnd == std::string_view::npos) list.problem = "弹幕不完整";
            return list;
        }
        const char after = open + 2 < xml.size() ? xml[open + 2] : '\0';
        if (after != ' ' && after != '\t' && after != '\n' && after != '\r' && after != '>') {
            if (after == '\0') {
                list.problem = "弹幕不完整";
                return list;
            }
            at = open + 2;  // another element, such as <ds>
            continue;
        }
        const std::size_t tagEnd = xml.find('>', open);
        const std::size_t close =
            tagEnd == std::string_view::npos ? tagEnd : xml.find("</d>", tagEnd);
        if (close == std::string_view::npos) {
            list.problem = "弹幕不完整";
            return list;
        }
        at = close + 4;
        Danmaku comment;
        if (!readFields(attribute(xml.substr(open, tagEnd - open), "p"), comment)) {
            ++list.skipped;
            continue;
        }
        comment.text = decodeEntities(xml.substr(tagEnd + 1, close - tagEnd - 1));
        list.comments.push_back(std::move(comment));
    }
}

}  // namespace quivra

#include "video/comments/danmaku_ass.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <optional>
#include <vector>

namespace quivra {

namespace {

constexpr double kFixedSeconds = 4;
constexpr double kLineSpacing = 1.15;  // a lane's height over a normal comment's size

std::string assTime(double seconds) {
    const long long centis = std::llround(std::max(0.0, seconds) * 100);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%02lld", centis / 360000,
                  centis / 6000 % 60, centis / 100 % 60, centis % 100);
    return text;
}

// &HBBGGRR (ASS keeps blue first).
std::string assColor(std::uint32_t rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "&H%02X%02X%02X", rgb & 0xFF, (rgb >> 8) & 0xFF,
                  (rgb >> 16) & 0xFF);
    return text;
}

// The code point starting at text[at], and its length in bytes.
char32_t codePointAt(const std::string& text, std::size_t at, std::size_t& length) {
    const auto byte = static_cast<unsigned char>(text[at]);
    length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
    if (at + length > text.size()) length = 1;
    char32_t code = length == 1 ? byte : byte & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) {
        code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    return code;
}

struct TextBox {
    double width = 0;  // in ems
    int lines = 1;
};

// An estimate, as no font is at hand: CJK, kana, Hangul, emoji a full em, the rest 0.6.
TextBox measure(const std::string& text) {
    TextBox box;
    double line = 0;
    for (std::size_t at = 0, length = 1; at < text.size(); at += length) {
        const char32_t code = codePointAt(text, at, length);
        if (code == '\n') {
            box.width = std::max(box.width, line);
            line = 0;
            ++box.lines;
        } else if (code != '\r') {
            line += code >= 0x2E80 ? 1.0 : 0.6;
        }
    }
    box.width = std::max(box.width, line);
    return box;
}

// The text as written: a line break is one, and "\", "{" and "}" never start an override
// (a word joiner after each backslash; braces as libass's literal \{ \}).
std::string assText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\\xE2\x81\xA0";
        } else if (c == '{' || c == '}') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\N";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

struct Placed {
    double start = 0;
    double width = 0;  // pixels
    double speed = 0;  // pixels a second; fixed comments 0
    double end = 0;
};

class Lanes {
  public:
    Lanes(int count, double frameWidth, double scrollSeconds, double gap)
        : lanes_(static_cast<std::size_t>(count)),
          frameWidth_(frameWidth),
          scrollSeconds_(scrollSeconds),
          gap_(gap) {}

    // The first of `span` neighbouring lanes that a comment may take at `start`.
    std::optional<int> place(const Placed& comment, int span) {
        const int count = static_cast<int>(lanes_.size());
        for (int first = 0; first + span <= count; ++first) {
            bool free = true;
            for (int lane = first; lane < first + span && free; ++lane) {
                free = fits(lanes_[static_cast<std::size_t>(lane)], comment);
            }
            if (!free) continue;
            for (int lane = first; lane < first + span; ++lane) {
                lanes_[static_cast<std::size_t>(lane)] = comment;
            }
            return first;
        }
        return std::nullopt;
    }

  private:
    bool fits(const std::optional<Placed>& last, const Placed& next) const {
        if (!last) return true;
        if (next.speed == 0) return next.start >= last->end;
        const double gone = next.start - last->start;
        // The last one's tail has come into the frame, a gap behind it ...
        if (last->speed * gone < last->width + gap_) return false;
        // ... and a faster one does not come within the gap before the last one leaves.
        return next.speed <= last->speed ||
               last->start + scrollSeconds_ - next.start <= (frameWidth_ - gap_) / next.speed;
    }

    std::vector<std::optional<Placed>> lanes_;
    double frameWidth_;
    double scrollSeconds_;
    double gap_;  // pixels between two comments of a lane
};

std::string header(const DanmakuStyle& style, int width, int height, int fontPixels) {
    char alpha[8];
    std::snprintf(
        alpha, sizeof alpha, "%02X",
        static_cast<unsigned>(std::lround((1 - std::clamp(style.opacity, 0.0, 1.0)) * 255)));
    const std::string a = alpha;
    return "[Script Info]\n"
           "ScriptType: v4.00+\n"
           "PlayResX: " +
           std::to_string(width) +
           "\n"
           "PlayResY: " +
           std::to_string(height) +
           "\n"
           "WrapStyle: 2\n"
           "ScaledBorderAndShadow: yes\n\n"
           "[V4+ Styles]\n"
           "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
           "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
           "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
           "Style: Danmaku," +
           style.font + "," + std::to_string(fontPixels) + ",&H" + a + "FFFFFF,&H" + a +
           "FFFFFF,&H" + a + "000000,&H" + a +
           "000000,1,0,0,0,100,100,0,0,1,1,0,7,0,0,0,1\n\n"
           "[Events]\n"
           "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
}

bool isHidden(const Danmaku& comment, const DanmakuStyle& style) {
    switch (comment.mode) {
        case DanmakuMode::Scrolling:
            if (style.hideScrolling) return true;
            break;
        case DanmakuMode::Top:
            if (style.hideTop) return true;
            break;
        case DanmakuMode::Bottom:
            if (style.hideBottom) return true;
            break;
        case DanmakuMode::Special:
            return true;  // positioned and scripted ones need the site's player
    }
    return (style.hideColored && comment.color != 0xFFFFFF) || isBlocked(comment, style.blocklist);
}

}  // namespace

DanmakuAss danmakuToAss(const DanmakuList& list, const DanmakuStyle& style, int width, int height) {
    width = std::max(width, 16);
    height = std::max(height, 16);
    const double normalPixels = std::max(8.0, style.fontSize * height / 1080.0);
    const double laneHeight = normalPixels * kLineSpacing;
    const double seconds = std::max(1.0, style.scrollSeconds);
    const int laneCount =
        std::max(1, static_cast<int>(std::clamp(style.area, 0.1, 1.0) * height / laneHeight));

    DanmakuAss ass;
    ass.text = header(style, width, height, static_cast<int>(std::lround(normalPixels)));
    std::vector<std::size_t> order(list.comments.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return list.comments[a].seconds < list.comments[b].seconds;
    });

    // Half an em between two comments of a lane: more than the rounding of the times.
    Lanes scrolling(laneCount, width, seconds, normalPixels / 2);
    Lanes top(laneCount, width, seconds, 0);
    Lanes bottom(laneCount, width, seconds, 0);
    for (std::size_t index : order) {
        const Danmaku& comment = list.comments[index];
        if (isHidden(comment, style)) {
            ++ass.hidden;
            continue;
        }
        const double pixels = normalPixels * std::clamp(comment.size, 12, 64) / 25.0;
        const TextBox box = measure(comment.text);
        const double textWidth = box.width * pixels;
        const int span = std::max(
            1, static_cast<int>(std::ceil(box.lines * pixels * kLineSpacing / laneHeight - 0.01)));
        Placed placed{comment.seconds, textWidth, 0, comment.seconds + kFixedSeconds};
        if (comment.mode == DanmakuMode::Scrolling) {
            placed.speed = (width + textWidth) / seconds;
            placed.end = comment.seconds + seconds;
        }
        Lanes& lanes = comment.mode == DanmakuMode::Scrolling ? scrolling
                       : comment.mode == DanmakuMode::Top     ? top
                                                              : bottom;
        const std::optional<int> lane = lanes.place(placed, span);
        if (!lane) {
            ++ass.crowded;
            continue;
        }
        const long y = std::lround(*lane * laneHeight);
        std::string tags;
        if (comment.mode == DanmakuMode::Scrolling) {
            tags = "\\move(" + std::to_string(width) + "," + std::to_string(y) + "," +
                   std::to_string(-std::lround(textWidth)) + "," + std::to_string(y) + ")";
        } else if (comment.mode == DanmakuMode::Top) {
            tags = "\\an8\\pos(" + std::to_string(width / 2) + "," + std::to_string(y) + ")";
        } else {
            tags =
                "\\an2\\pos(" + std::to_string(width / 2) + "," + std::to_string(height - y) + ")";
        }
        if (comment.size != 25) tags += "\\fs" + std::to_string(std::lround(pixels));
        if (comment.color != 0xFFFFFF) tags += "\\c" + assColor(comment.color) + "&";
        // Appended piece by piece: one line's temporaries would copy the text again and again.
        ass.text.append("Dialogue: 0,").append(assTime(placed.start)).append(",");
        ass.text.append(assTime(placed.end)).append(",Danmaku,,0,0,0,,{").append(tags);
        ass.text.append("}").append(assText(comment.text)).append("\n");
        ++ass.shown;
    }
    return ass;
}

}  // namespace quivra

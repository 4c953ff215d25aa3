// An uploader's subtitle as the site sends it ({"body":[{"from","to","location",
// "content"}]}, times in seconds) and as a SubRip file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quivra {

struct SubtitleLine {
    double from = 0;
    double to = 0;
    std::string content;  // UTF-8
};

struct SubtitleBody {
    std::vector<SubtitleLine> lines;  // in time order
    int skipped = 0;                  // lines that end before they start, or after the video
    std::string problem;              // why there is no body at all; "" when there is (UTF-8)
};

// videoSeconds > 0: a line starting after it is skipped, one running past it is cut there.
SubtitleBody parseSubtitleBody(std::string_view json, double videoSeconds);

// Numbered cues, "HH:MM:SS,mmm --> HH:MM:SS,mmm", the text with its line breaks.
std::string subtitleSrt(const SubtitleBody& body);

// The ISO 639-2 code of the site's language tag ("zh-CN", "zh-Hans", "ai-zh" give "chi",
// "en-US" "eng", "ja" "jpn"); "und" for one not known.
std::string languageCode(std::string_view siteLanguage);

}  // namespace quivra

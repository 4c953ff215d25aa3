#include "video/comments/subtitle.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace quivra {

namespace {

std::string srtTime(double seconds) {
    const long long millis = std::llround(std::max(0.0, seconds) * 1000);
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", millis / 3600000,
                  millis / 60000 % 60, millis / 1000 % 60, millis % 1000);
    return text;
}

bool readSeconds(const nlohmann::json& line, const char* key, double& seconds) {
    const auto at = line.find(key);
    if (at == line.end() || !at->is_number()) return false;
    seconds = at->get<double>();
    return std::isfinite(seconds) && seconds >= 0;
}

}  // namespace

SubtitleBody parseSubtitleBody(std::string_view json, double videoSeconds) {
    SubtitleBody body;
    const nlohmann::json document = nlohmann::json::parse(json, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        body.problem = "字幕不是JSON";
        return body;
    }
    const auto lines = document.find("body");
    if (lines == document.end() || !lines->is_array()) {
        body.problem = "字幕没有内容";
        return body;
    }
    for (const nlohmann::json& entry : *lines) {
        SubtitleLine line;
        const auto content = entry.is_object() ? entry.find("content") : entry.end();
        if (!entry.is_object() || !readSeconds(entry, "from", line.from) ||
            !readSeconds(entry, "to", line.to) || line.to <= line.from || content == entry.end() ||
            !content->is_string() || (videoSeconds > 0 && line.from >= videoSeconds)) {
            ++body.skipped;
            continue;
        }
        if (videoSeconds > 0) line.to = std::min(line.to, videoSeconds);
        line.content = content->get<std::string>();
        body.lines.push_back(std::move(line));
    }
    std::stable_sort(body.lines.begin(), body.lines.end(),
                     [](const SubtitleLine& a, const SubtitleLine& b) { return a.from < b.from; });
    return body;
}

std::string subtitleSrt(const SubtitleBody& body) {
    std::string srt;
    int number = 0;
    for (const SubtitleLine& line : body.lines) {
        std::string text = line.content;
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        // A blank line would end the cue early.
        for (std::size_t at; (at = text.find("\n\n")) != std::string::npos;) text.erase(at, 1);
        while (!text.empty() && text.back() == '\n') text.pop_back();
        if (text.empty()) continue;
        srt += std::to_string(++number) + "\n" + srtTime(line.from) + " --> " + srtTime(line.to) +
               "\n" + text + "\n\n";
    }
    return srt;
}

std::string languageCode(std::string_view siteLanguage) {
    static constexpr struct {
        std::string_view prefix;
        const char* code;
    } kCodes[] = {{"zh", "chi"}, {"en", "eng"}, {"ja", "jpn"}, {"ko", "kor"}, {"es", "spa"},
                  {"fr", "fre"}, {"de", "ger"}, {"ru", "rus"}, {"pt", "por"}, {"it", "ita"},
                  {"ar", "ara"}, {"th", "tha"}, {"vi", "vie"}, {"id", "ind"}, {"ms", "may"},
                  {"hi", "hin"}, {"tr", "tur"}};
    if (siteLanguage.starts_with("ai-")) siteLanguage.remove_prefix(3);
    const std::string_view base = siteLanguage.substr(0, siteLanguage.find('-'));
    for (const auto& entry : kCodes) {
        if (base == entry.prefix) return entry.code;
    }
    return "und";
}

}  // namespace quivra

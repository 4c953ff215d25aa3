#include "app/cli/downloads/quality_choice.h"

#include <algorithm>
#include <cctype>

#include "base/config_file.h"
#include "download/plan/quality_check.h"
#include "net/text_encoding.h"
#include "net/text_helpers.h"
#include "video/member_message.h"

namespace quivra {

namespace {

bool isNumber(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool names(const QualityEntry& entry, const std::string& wanted) {
    if (isNumber(wanted)) return entry.quality == wanted;
    const std::string name = lowerAscii(localToUtf8(entry.newDescription));
    const std::string asked = lowerAscii(wanted);
    return name == asked || name.substr(0, name.find(' ')) == asked;
}

}  // namespace

QualityChoice chooseQuality(const QualityList& qualities, const std::string& wanted) {
    const int count = std::min<int>(qualities.count, static_cast<int>(qualities.entries.size()));
    const std::vector<QualityEntry> offered(qualities.entries.begin(),
                                            qualities.entries.begin() + std::max(count, 0));
    if (offered.empty()) return {-1, "请选择视频清晰度！"};
    for (const QualityEntry& entry : offered) {
        if (wanted.empty() ? !entry.available : !names(entry, wanted)) continue;
        const int quality = textToInteger(entry.quality);
        if (!isQualityAvailable(qualities, quality)) {
            return {-1, localToUtf8(memberOnlyMessage())};
        }
        return {quality, ""};
    }
    if (wanted.empty()) return {-1, localToUtf8(memberOnlyMessage())};
    std::string known;
    for (const QualityEntry& entry : offered) {
        known +=
            (known.empty() ? "" : ", ") + entry.quality + " " + localToUtf8(entry.newDescription);
    }
    return {-1, "the video offers no quality " + wanted + " (it offers " + known + ")"};
}

}  // namespace quivra

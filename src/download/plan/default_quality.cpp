#include "download/plan/default_quality.h"

#include <algorithm>
#include <climits>

#include "base/config_file.h"
#include "download/plan/quality_check.h"
#include "net/text_encoding.h"
#include "video/audio_choices.h"
#include "video/member_message.h"

namespace quivra {

namespace {

struct Ceiling {
    const char* name;
    int quality;  // the site's numbers grow with the picture: a ceiling is a number
};

const Ceiling kCeilings[] = {{"最高可用", INT_MAX}, {"4K", 120},  {"1080P60", 116}, {"1080P", 80},
                             {"720P", 64},          {"480P", 32}, {"360P", 16}};

int ceilingOf(const std::string& localName) {
    for (const Ceiling& ceiling : kCeilings) {
        if (localText(ceiling.name) == localName) return ceiling.quality;
    }
    return INT_MAX;
}

}  // namespace

int videoCeilingQuality(const std::string& localName) {
    return ceilingOf(localName);
}

int defaultAudioStream(const DownloadSettings& settings) {
    return audioStreamNamed(settings.defaultAudioQuality);
}

const std::vector<std::string>& videoCeilingNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const Ceiling& ceiling : kCeilings) list.emplace_back(ceiling.name);
        return list;
    }();
    return names;
}

DefaultChoice chooseDefaultQualities(const QualityList& qualities,
                                     const DownloadSettings& settings) {
    const int ceiling = ceilingOf(settings.defaultVideoQuality);
    const int count = std::min<int>(qualities.count, static_cast<int>(qualities.entries.size()));
    int best = -1;   // the highest at most the ceiling
    int above = -1;  // the lowest above it
    for (int i = 0; i < count; ++i) {
        const int quality = textToInteger(qualities.entries[i].quality);
        if (!isQualityAvailable(qualities, quality)) continue;
        if (quality <= ceiling) {
            best = std::max(best, quality);
        } else if (above < 0 || quality < above) {
            above = quality;
        }
    }
    DefaultChoice choice;
    choice.videoQuality = best >= 0 ? best : above;
    choice.audioQuality = defaultAudioStream(settings);
    if (choice.videoQuality < 0) {
        choice.refusal = count > 0 ? memberOnlyMessage() : localText("请选择视频清晰度！");
    }
    return choice;
}

}  // namespace quivra

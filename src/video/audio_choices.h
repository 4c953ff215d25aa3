// The audio qualities a download can take: the main window's 组合框_audioQuality lists the
// AAC ones, the settings and the command line all of them.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace quivra {

struct AudioChoice {
    const char* name;         // as the window shows it (UTF-8)
    const char* englishName;  // the command line's other name for it
    int streamId;             // the site's audio stream id
};

// The site sends these two apart from the AAC streams, and only when asked for them.
inline constexpr int kLosslessAudioStream = 30251;  // FLAC
inline constexpr int kDolbyAudioStream = 30250;     // E-AC-3
constexpr bool isSpecialAudioStream(int id) {
    return id == kLosslessAudioStream || id == kDolbyAudioStream;
}

inline constexpr std::array<AudioChoice, 5> kAudioChoices = {{
    {"高", "high", 30280},
    {"中", "medium", 30232},
    {"低", "low", 30216},
    {"无损", "lossless", kLosslessAudioStream},
    {"杜比全景声", "dolby", kDolbyAudioStream},
}};

// The first kAacAudioChoices of kAudioChoices are the AAC streams every video offers.
inline constexpr std::size_t kAacAudioChoices = 3;

// The stream id of the choice named localName (local text, as config.ini keeps it); an
// unknown or empty name is the first, 高.
int audioStreamNamed(const std::string& localName);

}  // namespace quivra

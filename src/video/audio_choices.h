// The audio qualities a download can take, in the order 组合框_audioQuality lists them.
#pragma once

#include <array>

namespace quivra {

struct AudioChoice {
    const char* name;         // as the window shows it (UTF-8)
    const char* englishName;  // the command line's other name for it
    int streamId;             // the site's audio stream id
};

inline constexpr std::array<AudioChoice, 3> kAudioChoices = {{
    {"高", "high", 30280},
    {"中", "medium", 30232},
    {"低", "low", 30216},
}};

}  // namespace quivra

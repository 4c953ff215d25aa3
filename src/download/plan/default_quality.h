// The default qualities of the settings window, and the quality they choose from the ones
// a parse found: what batch, search and the command line download when none is named.
#pragma once

#include <string>
#include <vector>

#include "base/records.h"

namespace quivra {

// The names 默认视频质量 offers (UTF-8), best first; the first, 最高可用, sets no ceiling.
const std::vector<std::string>& videoCeilingNames();
// The site's quality number of one of those names (local text); INT_MAX for 最高可用 and a
// name it does not know.
int videoCeilingQuality(const std::string& localName);
// The stream id of 默认音频质量, one of kAudioChoices by name (an unknown or empty name is
// the first, 高).
int defaultAudioStream(const DownloadSettings& settings);

struct DefaultChoice {
    int videoQuality = -1;  // the site's quality number; -1 when none may be downloaded
    int audioQuality = -1;  // the site's audio stream id
    std::string refusal;    // why no quality was chosen (local text); "" when one was
};

// The best quality the account may download that is at most as high as the setting's
// ceiling (an unknown or empty name is 最高可用); a video offering only higher ones gets
// the lowest of those. A member-only quality is skipped for the best the account may get.
DefaultChoice chooseDefaultQualities(const QualityList& qualities,
                                     const DownloadSettings& settings);

}  // namespace quivra

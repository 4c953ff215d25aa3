// The QUALITY of get, chosen from the qualities the parse found, as the main window's
// 视频质量 would be.
#pragma once

#include <string>

#include "base/records.h"

namespace quivra {

struct QualityChoice {
    int quality = -1;     // the site's quality number
    std::string refusal;  // why none can be used (UTF-8); "" when one was chosen
};

// wanted (UTF-8): a quality number ("80"), a name as offered ("1080P 高清") or its first
// word ("1080P"), in any case; "" for the best the account may download, the first of the
// list that it may. A quality the account may not download is refused with the window's
// message; one the video does not offer with the list of those it does.
QualityChoice chooseQuality(const QualityList& qualities, const std::string& wanted);

}  // namespace quivra

#include "download/plan/quality_check.h"

#include <algorithm>

#include "base/config_file.h"
#include "net/text_encoding.h"

namespace quivra {

bool isQualityAvailable(const QualityList& qualities, int quality) {
    const int count = std::min<int>(qualities.count, static_cast<int>(qualities.entries.size()));
    for (int i = 0; i < count; ++i) {
        if (textToInteger(qualities.entries[i].quality) == quality) {
            return qualities.entries[i].available;
        }
    }
    return false;
}

std::string memberQualityMessage() {
    return localText("这个质量需要大会员才可以下载哦，您还不是大会员或还没有登录哟，请先登录~");
}

}  // namespace quivra

#include "download/plan/quality_check.h"

#include <algorithm>

#include "base/config_file.h"

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

}  // namespace quivra

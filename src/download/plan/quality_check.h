// Whether the account may download a quality.
#pragma once

#include "base/records.h"

namespace quivra {

// The available flag of the first entry of the quality list (up to its count) with that
// number; false when there is none.
bool isQualityAvailable(const QualityList& qualities, int quality);

}  // namespace quivra

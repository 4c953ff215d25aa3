// Whether the account may download a quality, and the message that refuses one.
#pragma once

#include <string>

#include "base/records.h"

namespace quivra {

// The available flag of the first entry of the quality list (up to its count) with that
// number; false when there is none.
bool isQualityAvailable(const QualityList& qualities, int quality);
// The message that refuses a quality the account may not download (local text).
std::string memberQualityMessage();

}  // namespace quivra

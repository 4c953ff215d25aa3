// The signature the site asks of requests under /wbi/, checked on the site's side: its
// own code, so that the client's signing is tested against an independent reading.
#pragma once

#include <string>

namespace devsite {

struct WbiKeys {
    std::string img;
    std::string sub;
};

// The keys the nav answer hands out after `rotations` calls of rotateWbiKeys: the
// published example's keys, then other ones, back and forth.
WbiKeys wbiKeys(int rotations);

// True when the raw query carries wts and a w_rid made from its other parameters with
// these keys.
bool wbiSignatureValid(const std::string& rawQuery, const WbiKeys& keys);

}  // namespace devsite

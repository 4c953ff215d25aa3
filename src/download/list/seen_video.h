// A video a subscription has seen: written in the transaction that puts its parts in the
// list, so a check that dies midway neither loses nor doubles one.
#pragma once

#include <cstdint>
#include <string>

namespace quivra {

struct SeenVideo {
    std::int64_t subscriptionId = 0;
    std::string bvid;
    std::string note;  // local text: why it brought no parts ("已失效视频", ...); "" when added
    std::int64_t seenAt = 0;  // seconds since the epoch
};

}  // namespace quivra
